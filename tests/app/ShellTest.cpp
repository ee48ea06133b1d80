#include <QApplication>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScreen>
#include <QTest>

#include "ScreenRegistry.h"
#include "ShellHarness.h"
#include "frmCalculadorLayout.h"

using app::ScreenId;
using testsupport::ShellHarness;

namespace {

// What a test expects after one click on the screen that is loaded at that moment.
// The first three name the screen left loaded, in the order of ScreenId.
enum class After {
  Calculador,
  Ingreso,
  Vista,
  EndedAtOnce,    // the handler itself ended the program; the process is gone at that moment
  EndedOnReturn,  // no screen is left; the program ends when the handler has returned
};

// Goes from the calculator to `screen` by the chain's buttons.
bool openFromTheCalculator(ScreenId screen) {
  if (screen != ScreenId::Calculador &&
      !ShellHarness::click(ScreenId::Calculador, "cmdSiguiente")) {
    return false;
  }
  return screen != ScreenId::Vista || ShellHarness::click(ScreenId::Ingreso, "cmdvizualizar");
}

}  // namespace

Q_DECLARE_METATYPE(After)
Q_DECLARE_METATYPE(ScreenId)

// The shell with the real screens: start-up, every transition of the chain, the close control and
// the end of the program.
class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    harness_.start();
    app::ShowScreen(ScreenId::Calculador);  // what the program does at start-up
  }
  void cleanup() { harness_.stop(); }

  void startUpOpensOnlyTheCentredCalculatorInTheLayoutsFont() {
    QCOMPARE(ShellHarness::loadedScreens(), std::vector<ScreenId>{ScreenId::Calculador});
    QCOMPARE(QApplication::topLevelWidgets().size(), 1);  // no hidden ones
    QWidget* calculator = ShellHarness::window(ScreenId::Calculador);
    QCOMPARE(calculator->windowTitle(), QStringLiteral("Form2"));
    QCOMPARE(calculator->size(), QSize(611, 422));
    QCOMPARE(calculator->frameGeometry().center(),
             QGuiApplication::primaryScreen()->availableGeometry().center());
    // The layouts were measured in this font; a label without a font of its own keeps it.
    QCOMPARE(calculator->font(), QFont(QStringLiteral("MS Sans Serif"), 8));
    QCOMPARE(ShellHarness::control<QLabel>(ScreenId::Calculador, "lblResultado")->font(),
             calculator->font());
    // Controls stand where the layout puts them; the banner, wider in this font, shows whole.
    QCOMPARE(ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion")->geometry(),
             app::toPixels(calc::frmCalculadorLayout::txtExpresion.rect));
    const auto* banner = ShellHarness::control<QLabel>(ScreenId::Calculador, "lblTitulo");
    QVERIFY(banner->width() >= banner->sizeHint().width());
  }

  void everyTransitionLeavesOneScreenOrEndsTheProgram_data() {
    QTest::addColumn<ScreenId>("from");
    QTest::addColumn<QString>("button");
    QTest::addColumn<After>("after");
    QTest::newRow("Siguiente leads to data entry")
        << ScreenId::Calculador << "cmdSiguiente" << After::Ingreso;
    QTest::newRow("Salir ends at once") << ScreenId::Calculador << "cmdSalir" << After::EndedAtOnce;
    QTest::newRow("Atras on data entry leads back to the calculator")
        << ScreenId::Ingreso << "cmdatras" << After::Calculador;
    QTest::newRow("Visualizar leads to the viewer")
        << ScreenId::Ingreso << "cmdvizualizar" << After::Vista;
    QTest::newRow("Cerrar ends at once") << ScreenId::Ingreso << "cmdfin" << After::EndedAtOnce;
    QTest::newRow("Atras on the viewer leads back to data entry")
        << ScreenId::Vista << "cmdatras" << After::Ingreso;
    QTest::newRow("Finalizar unloads the viewer, which ends the program")
        << ScreenId::Vista << "cmdfin" << After::EndedOnReturn;
  }

  void everyTransitionLeavesOneScreenOrEndsTheProgram() {
    QFETCH(ScreenId, from);
    QFETCH(QString, button);
    QFETCH(After, after);
    QVERIFY(openFromTheCalculator(from));
    ShellHarness::returnToEventLoop();
    QVERIFY(ShellHarness::click(from, qPrintable(button)));
    if (after == After::EndedAtOnce) {
      QCOMPARE(harness_.endCount(), 1);
      return;
    }
    QCOMPARE(harness_.endCount(), 0);
    ShellHarness::returnToEventLoop();
    if (after == After::EndedOnReturn) {
      QVERIFY(ShellHarness::loadedScreens().empty());
      QCOMPARE(harness_.endCount(), 1);
      return;
    }
    QCOMPARE(ShellHarness::loadedScreens(), std::vector<ScreenId>{static_cast<ScreenId>(after)});
    QCOMPARE(QApplication::topLevelWidgets().size(), 1);  // the screen left is gone, not hidden
    QCOMPARE(harness_.endCount(), 0);
  }

  void theCloseControlUnloadsTheScreenAndEndsTheProgram_data() {
    QTest::addColumn<ScreenId>("screen");
    QTest::newRow("calculator") << ScreenId::Calculador;
    QTest::newRow("data entry") << ScreenId::Ingreso;
    QTest::newRow("viewer") << ScreenId::Vista;
  }

  void theCloseControlUnloadsTheScreenAndEndsTheProgram() {
    QFETCH(ScreenId, screen);
    QVERIFY(openFromTheCalculator(screen));
    QPointer<QWidget> window = ShellHarness::window(screen);
    QVERIFY(window->close() || !window->isVisible());
    QVERIFY(ShellHarness::loadedScreens().empty());
    QCOMPARE(harness_.endCount(), 0);  // only once the close has been handled
    ShellHarness::returnToEventLoop();
    QCOMPARE(harness_.endCount(), 1);
    QVERIFY(window.isNull());
  }

  void comingBackLoadsTheScreensAfresh() {
    auto* box = ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion");
    QTest::keyClicks(box, "2+3");
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(ShellHarness::click(ScreenId::Calculador, "cmdSiguiente"));
    QTest::keyClicks(ShellHarness::control<QLineEdit>(ScreenId::Ingreso, "txtnom"), "Ana");
    QVERIFY(ShellHarness::click(ScreenId::Ingreso, "cmdvizualizar"));
    QVERIFY(ShellHarness::click(ScreenId::Vista, "cmdatras"));
    ShellHarness::returnToEventLoop();
    QVERIFY(ShellHarness::control<QLineEdit>(ScreenId::Ingreso, "txtnom")->text().isEmpty());
    QVERIFY(ShellHarness::click(ScreenId::Ingreso, "cmdatras"));
    ShellHarness::returnToEventLoop();

    box = ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion");
    QVERIFY(box->text().isEmpty());
    QVERIFY(ShellHarness::control<QLabel>(ScreenId::Calculador, "lblCalculo")->text().isEmpty());
    // The load filled the operator table again: a doubled operator is refused at once.
    QTest::keyClicks(box, "5++");
    QCOMPARE(harness_.messageTexts(), QStringList{QStringLiteral("Este Operador ya existe")});
  }

  // A line of a screen is a one-pixel strip filled with the text colour; unfilled, it would not
  // be seen on the window's background.
  void theViewersLinesAreDrawnInTheTextColour() {
    QVERIFY(openFromTheCalculator(ScreenId::Vista));
    QWidget* viewer = ShellHarness::window(ScreenId::Vista);
    const QImage shown = viewer->grab().toImage();
    const QColor text = viewer->palette().color(QPalette::WindowText);
    QVERIFY(viewer->palette().color(QPalette::Window) != text);
    for (const char* name : {"Line1", "Line2"}) {
      const QWidget* line = viewer->findChild<QWidget*>(QString::fromUtf8(name));
      QVERIFY2(line != nullptr, name);
      QCOMPARE(shown.pixelColor(line->geometry().center()), text);
    }
  }

 private:
  ShellHarness harness_;
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
