#pragma once

namespace app {

// Tells the screen registry how to build each of the program's three screens. Kept apart from the
// shell so that the shell does not depend on the screens; the program and the tests both call it.
void registerScreenFactories();

}  // namespace app
