#include <QApplication>
#include <QFont>
#include <QHash>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cmath>

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

// WCAG 2 contrast ratio of two colours, from 1:1 to 21:1.
double contrast(const QColor& a, const QColor& b) {
  const auto luminance = [](const QColor& c) {
    const auto linear = [](double v) {
      return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.redF()) + 0.7152 * linear(c.greenF()) + 0.0722 * linear(c.blueF());
  };
  const double la = luminance(a);
  const double lb = luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour that fills most of `area`: a label's background.
QColor commonestColour(const QImage& image, const QRect& area) {
  QHash<QRgb, int> counts;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      ++counts[image.pixel(x, y)];
    }
  }
  QRgb commonest = 0;
  int most = 0;
  for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
    if (it.value() > most) {
      most = it.value();
      commonest = it.key();
    }
  }
  return QColor::fromRgb(commonest);
}

// The contrast of a label's text with its background, both read from the pixels inside the
// label: the pixel that stands out most from the background is taken as the text (1:1 when no
// text can be seen at all).
double textContrast(const QImage& image, const QRect& area) {
  const QColor background = commonestColour(image, area);
  double most = 1.0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      most = std::max(most, contrast(image.pixelColor(x, y), background));
    }
  }
  return most;
}

// A desktop scheme's colours, on top of the default light palette so that every role is set.
QPalette schemePalette(QPalette palette, const QColor& window, const QColor& text,
                       const QColor& base, const QColor& accent, const QColor& highlightedText,
                       const QColor& link) {
  palette.setColor(QPalette::Window, window);
  palette.setColor(QPalette::WindowText, text);
  palette.setColor(QPalette::Base, base);
  palette.setColor(QPalette::Text, text);
  palette.setColor(QPalette::Button, window);
  palette.setColor(QPalette::ButtonText, text);
  palette.setColor(QPalette::Highlight, accent);
  palette.setColor(QPalette::HighlightedText, highlightedText);
  palette.setColor(QPalette::Link, link);
  return palette;
}

// The colours that Qt's GTK platform theme gives for Adwaita:dark.
QPalette darkPalette(const QPalette& light) {
  const QColor text(0xf0, 0xf0, 0xf0);
  const QColor accent(0x30, 0x8c, 0xc6);
  return schemePalette(light, QColor(0x32, 0x32, 0x32), text, QColor(0x24, 0x24, 0x24), accent,
                       text, accent);
}

// Black window, white text.
QPalette highContrastPalette(const QPalette& light) {
  return schemePalette(light, Qt::black, Qt::white, Qt::black, QColor(0x1a, 0xeb, 0xff), Qt::black,
                       Qt::yellow);
}

enum class Scheme { Light, Dark, HighContrast };

}  // namespace

Q_DECLARE_METATYPE(After)
Q_DECLARE_METATYPE(ScreenId)
Q_DECLARE_METATYPE(Scheme)

// The shell with the real screens: start-up, every transition of the chain, the close control and
// the end of the program.
class ShellTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { light_ = QApplication::palette(); }
  void init() {
    harness_.start();
    app::ShowScreen(ScreenId::Calculador);  // what the program does at start-up
  }
  void cleanup() {
    harness_.stop();
    QApplication::setPalette(light_);
  }

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

  // Every label's text stands out from the background inside the label, and each line from the
  // window, in the desktop's scheme: set before the screens are made, or changed while they are
  // open. The calculator shows a result, so that its result label has text too.
  void everyTextContrastsWithItsBackground_data() {
    QTest::addColumn<ScreenId>("screen");
    QTest::addColumn<Scheme>("scheme");
    QTest::addColumn<bool>("changedWhileOpen");
    const std::pair<ScreenId, const char*> screens[] = {{ScreenId::Calculador, "calculator"},
                                                        {ScreenId::Ingreso, "data entry"},
                                                        {ScreenId::Vista, "viewer"}};
    const std::pair<Scheme, const char*> schemes[] = {
        {Scheme::Light, "light"}, {Scheme::Dark, "dark"}, {Scheme::HighContrast, "high contrast"}};
    for (const auto& [scheme, schemeName] : schemes) {
      for (const auto& [screen, screenName] : screens) {
        QTest::addRow("%s, %s", screenName, schemeName) << screen << scheme << false;
      }
    }
    for (const auto& [screen, screenName] : screens) {
      QTest::addRow("%s, turned dark while open", screenName) << screen << Scheme::Dark << true;
    }
  }

  void everyTextContrastsWithItsBackground() {
    QFETCH(ScreenId, screen);
    QFETCH(Scheme, scheme);
    QFETCH(bool, changedWhileOpen);
    const QPalette palette = scheme == Scheme::Light  ? light_
                             : scheme == Scheme::Dark ? darkPalette(light_)
                                                      : highContrastPalette(light_);
    if (!changedWhileOpen) {
      // The program starts afresh under the scheme.
      harness_.stop();
      QApplication::setPalette(palette);
      harness_.start();
      app::ShowScreen(ScreenId::Calculador);
    }
    if (screen == ScreenId::Calculador) {
      auto* box = ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion");
      QTest::keyClicks(box, "2+3*4");
      QTest::keyClick(box, Qt::Key_Return);
    }
    QVERIFY(openFromTheCalculator(screen));
    ShellHarness::returnToEventLoop();
    if (changedWhileOpen) {
      QApplication::setPalette(palette);
      ShellHarness::returnToEventLoop();
    }
    QWidget* window = ShellHarness::window(screen);
    const QImage shown = window->grab().toImage();
    const QString row = QString::fromUtf8(QTest::currentDataTag());
    // Every ratio is measured and printed before any is judged, so that a failure shows them all.
    QStringList unreadable;
    const auto labels = window->findChildren<QLabel*>();
    QVERIFY(!labels.isEmpty());
    for (const QLabel* label : labels) {
      QVERIFY2(!label->text().isEmpty(), qPrintable(label->objectName()));
      const double ratio = textContrast(shown, label->geometry());
      qInfo("%s: %s %.2f:1", qPrintable(row), qPrintable(label->objectName()), ratio);
      if (ratio < 4.5) {
        unreadable.append(QStringLiteral("%1 %2:1").arg(label->objectName()).arg(ratio, 0, 'f', 2));
      }
    }
    for (const char* name : {"Line1", "Line2"}) {
      const auto* line = window->findChild<QWidget*>(QString::fromUtf8(name));
      if (line == nullptr) {
        continue;  // only the viewer has lines
      }
      // The window shows just below the line, between the rows around it.
      const QPoint middle = line->geometry().center();
      const double ratio =
          contrast(shown.pixelColor(middle), shown.pixelColor(middle + QPoint(0, 3)));
      qInfo("%s: %s %.2f:1", qPrintable(row), name, ratio);
      if (ratio < 3.0) {
        unreadable.append(QStringLiteral("%1 %2:1").arg(name).arg(ratio, 0, 'f', 2));
      }
    }
    QVERIFY2(unreadable.isEmpty(), qPrintable(unreadable.join(QStringLiteral(", "))));
  }

 private:
  ShellHarness harness_;
  QPalette light_;
};

QTEST_MAIN(ShellTest)
#include "ShellTest.moc"
