#include <QApplication>
#include <QFont>

#include "FileSizeSignal.h"
#include "ScreenFactories.h"
#include "ScreenRegistry.h"

// Starting the program does nothing but open the calculator; the shell takes it from there and
// ends the program when no screen is left.
int main(int argc, char* argv[]) {
  records::surviveFileSizeLimit();
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral("edu.talvora.Talvora"));
  // The screens were drawn in MS Sans Serif; Liberation Sans has the same metrics where installed.
  QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
  app::registerScreenFactories();
  app::ShowScreen(app::ScreenId::Calculador);
  return QApplication::exec();
}
