#include "ScreenFactories.h"

#include "ScreenRegistry.h"
#include "frmCalculador.h"
#include "frmingreso.h"
#include "frmvista.h"

namespace app {

void registerScreenFactories() {
  ScreenRegistry& registry = ScreenRegistry::instance();
  registry.setFactory(ScreenId::Calculador, [] { return std::make_unique<calc::frmCalculador>(); });
  registry.setFactory(ScreenId::Ingreso, [] { return std::make_unique<records::frmingreso>(); });
  registry.setFactory(ScreenId::Vista, [] { return std::make_unique<records::frmvista>(); });
}

}  // namespace app
