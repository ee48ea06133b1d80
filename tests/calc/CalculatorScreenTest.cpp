#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "ScreenRegistry.h"
#include "ShellHarness.h"

using app::ScreenId;
using testsupport::ShellHarness;

namespace {

const QString kDoubled = QStringLiteral("Este Operador ya existe");
const QString kDivisionByZero = QStringLiteral("Division entre cero No Definida");
const QString kOutOfRange = QStringLiteral("Resultado fuera de rango");

// How the expression gets into the box: typed key by key (each release runs the box's handler) or
// placed without any key, as a paste with the mouse does.
enum class Entry { Typed, Placed };
enum class Action { Enter, KeypadEnter, ShiftEnter, Calcular };

// A key as a keyboard sends it; a real keyboard also tells the physical key by its scan code.
void sendKey(QWidget* target, QEvent::Type type, Qt::Key key, bool autoRepeat, quint32 scanCode = 0,
             const QString& text = QString()) {
  QKeyEvent event(type, key, Qt::NoModifier, scanCode, 0, 0, text, autoRepeat);
  QApplication::sendEvent(target, &event);
}

}  // namespace

Q_DECLARE_METATYPE(Entry)
Q_DECLARE_METATYPE(Action)

// The calculator screen driven through its real widgets: typing with the doubled-operator check,
// Enter and "Calcular", the two reports and "Borrar". What the core decides is tested there;
// these tests keep to the key rules, the caret and focus, and what a message shows and when.
class CalculatorScreenTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    harness_.start();
    app::ShowScreen(ScreenId::Calculador);
    QVERIFY(QTest::qWaitForWindowActive(ShellHarness::window(ScreenId::Calculador)));
  }
  void cleanup() { harness_.stop(); }

  void entryAndEvaluation_data() {
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<Action>("action");
    QTest::addColumn<QString>("boxAfter");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("resultAfter");
    const QStringList none;

    QTest::newRow("Calcular on 5++ placed without a key release strips it")
        << Entry::Placed << "5++" << Action::Calcular << "5+" << none << "5";
    QTest::newRow("Enter on 5++ placed without a key release refuses it")
        << Entry::Placed << "5++" << Action::Enter << "5+" << QStringList{kDoubled} << "";
    QTest::newRow("Enter on a lone + evaluates the empty text")
        << Entry::Typed << "+" << Action::Enter << "" << none << "0";
    QTest::newRow("Shift+Enter evaluates like Enter")
        << Entry::Typed << "10/4" << Action::ShiftEnter << "10/4" << none << "2.5";
    QTest::newRow("keypad Enter evaluates like Enter")
        << Entry::Typed << "10/4" << Action::KeypadEnter << "10/4" << none << "2.5";
  }

  void entryAndEvaluation() {
    QFETCH(Entry, entry);
    QFETCH(QString, text);
    QFETCH(Action, action);
    if (entry == Entry::Typed) {
      QTest::keyClicks(box(), text);
    } else {
      box()->setText(text);
    }
    switch (action) {
      case Action::Enter:
        QTest::keyClick(box(), Qt::Key_Return);
        break;
      case Action::KeypadEnter:
        QTest::keyClick(box(), Qt::Key_Enter, Qt::KeypadModifier);
        break;
      case Action::ShiftEnter:
        QTest::keyClick(box(), Qt::Key_Return, Qt::ShiftModifier);
        break;
      case Action::Calcular:
        QTest::mouseClick(button("cmdCalc"), Qt::LeftButton);
        break;
    }
    QTEST(box()->text(), "boxAfter");
    QTEST(result()->text(), "resultAfter");
    QTEST(harness_.messageTexts(), "shown");
  }

  void aStrippingRemovalSelectsTheRemainingText() {
    QTest::keyClicks(box(), "*-5+/");
    QTest::keyClick(box(), Qt::Key_Return);
    QCOMPARE(box()->text(), QStringLiteral("5"));
    QCOMPARE(box()->selectedText(), QStringLiteral("5"));
    // The box still leaves its selection behind when the focus goes elsewhere.
    QTest::keyClick(box(), Qt::Key_Tab);
    QVERIFY(!box()->hasSelectedText());
  }

  void anOperatorDoubledInTheMiddleCostsTheLastCharacter() {
    QTest::keyClicks(box(), "5+3");
    QTest::keyClick(box(), Qt::Key_Left);
    QTest::keyClick(box(), Qt::Key_Plus);
    QCOMPARE(box()->text(), QStringLiteral("5++"));  // the 3 goes, not the "+"
    QCOMPARE(harness_.messageTexts().size(), 1);
    // The pair is still there, so the next key release refuses it again.
    QTest::keyClick(box(), Qt::Key_End);
    QCOMPARE(box()->text(), QStringLiteral("5+"));
    QCOMPARE(harness_.messageTexts(), (QStringList{kDoubled, kDoubled}));
  }

  // A report shows over the screen as it stands at that moment: a zero divisor has emptied the box
  // and shows 0 after the message; a result out of range empties the result and keeps the box.
  void aReportShowsOverTheScreenAsItStands_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("boxAtMessage");
    QTest::addColumn<QString>("resultAfter");
    QTest::newRow("zero divisor") << "8/0" << kDivisionByZero << QString() << "0";
    QTest::newRow("out of range") << "1E309" << kOutOfRange << "1E309" << QString();
  }

  void aReportShowsOverTheScreenAsItStands() {
    QFETCH(QString, expression);
    QTest::keyClicks(box(), "7");
    QTest::keyClick(box(), Qt::Key_Return);
    box()->setText(expression);
    QTest::mouseClick(button("cmdCalc"), Qt::LeftButton);
    QCOMPARE(harness_.messages().size(), std::size_t{1});
    const testsupport::ShownMessage& shown = harness_.messages().front();
    QTEST(shown.text, "message");
    QTEST(shown.controls.value("txtExpresion"), "boxAtMessage");
    QCOMPARE(shown.controls.value("lblCalculo"), QStringLiteral("7"));
    QTEST(box()->text(), "boxAtMessage");
    QTEST(result()->text(), "resultAfter");
  }

  void typingOrAnEmptyBoxKeepsTheLastResult() {
    QTest::keyClicks(box(), "2+3");
    QTest::keyClick(box(), Qt::Key_Return);
    QTest::keyClicks(box(), "*4");
    QCOMPARE(result()->text(), QStringLiteral("5"));
    QTest::keyClick(box(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box(), Qt::Key_Backspace);
    QTest::keyClick(box(), Qt::Key_Return);
    QTest::mouseClick(button("cmdCalc"), Qt::LeftButton);
    QCOMPARE(result()->text(), QStringLiteral("5"));
    QVERIFY(harness_.messages().empty());
  }

  // The Enter that dismissed the message box goes up here after the focus came back: first its
  // repeats, then its release while another key that went down here is still held. A key still
  // down when the focus left is likewise released elsewhere as far as the box is concerned, even
  // if the focus has come back by the time it goes up.
  void aReleaseWhosePressWentElsewhereIsIgnored() {
    QTest::keyClicks(box(), "5++");
    for (int repeat = 0; repeat < 3; ++repeat) {
      sendKey(box(), QEvent::KeyPress, Qt::Key_Return, true);
      sendKey(box(), QEvent::KeyRelease, Qt::Key_Return, true);
    }
    QTest::keyPress(box(), Qt::Key_Shift);
    sendKey(box(), QEvent::KeyRelease, Qt::Key_Return, false);
    QCOMPARE(result()->text(), QString());
    QCOMPARE(box()->text(), QStringLiteral("5+"));
    QCOMPARE(harness_.messageTexts(), QStringList{kDoubled});
    // A real Enter, pressed and released here, still evaluates.
    QTest::keyClick(box(), Qt::Key_Return);
    QCOMPARE(result()->text(), QStringLiteral("5"));
    QTest::keyClicks(box(), "+1");
    QTest::keyPress(box(), Qt::Key_Return);
    button("cmdSalir")->setFocus();
    box()->setFocus();
    QTest::keyRelease(box(), Qt::Key_Return);
    QCOMPARE(result()->text(), QStringLiteral("5"));
  }

  // "+" typed with Shift comes back as "=" when Shift goes up first; the physical key still ends
  // the stroke it began.
  void aReleaseIsMatchedToItsPressByThePhysicalKey() {
    QTest::keyClicks(box(), "5+");
    const quint32 plusKey = 21;
    sendKey(box(), QEvent::KeyPress, Qt::Key_Plus, false, plusKey, QStringLiteral("+"));
    sendKey(box(), QEvent::KeyRelease, Qt::Key_Equal, false, plusKey, QStringLiteral("="));
    QCOMPARE(box()->text(), QStringLiteral("5+"));
    QCOMPARE(harness_.messageTexts(), QStringList{kDoubled});
  }

  void aHeldEnterEvaluatesOnce() {
    QTest::keyClicks(box(), "1E308*10");  // every evaluation would report again
    sendKey(box(), QEvent::KeyPress, Qt::Key_Return, false);
    for (int repeat = 0; repeat < 3; ++repeat) {
      sendKey(box(), QEvent::KeyRelease, Qt::Key_Return, true);
      sendKey(box(), QEvent::KeyPress, Qt::Key_Return, true);
    }
    QVERIFY(harness_.messages().empty());
    sendKey(box(), QEvent::KeyRelease, Qt::Key_Return, false);
    QCOMPARE(harness_.messageTexts(), QStringList{kOutOfRange});
  }

  void borrarEmptiesBoxAndResultAndFocusesTheBox() {
    QTest::keyClicks(box(), "2+3");
    QTest::keyClick(box(), Qt::Key_Return);
    QTest::mouseClick(button("cmdLimpiar"), Qt::LeftButton);
    QCOMPARE(box()->text(), QString());
    QCOMPARE(result()->text(), QString());
    QTRY_COMPARE(QApplication::focusWidget(), box());
  }

  // The box takes the focus when the screen is loaded, not each time its window is activated again,
  // as after a message box or another program.
  void comingBackToTheWindowLeavesTheFocusWhereItWas() {
    QTest::keyClick(box(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button("cmdSalir"));
    QWidget other;
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QWidget* calculator = ShellHarness::window(ScreenId::Calculador);
    calculator->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(calculator));
    QCOMPARE(QApplication::focusWidget(), button("cmdSalir"));
  }

  void theBoxTakesExpressionsBeyondQtsDefaultLength() {
    const int ones = 20'000;
    box()->setText(QStringLiteral("1+").repeated(ones - 1) + QLatin1Char('1'));
    QTest::keyClick(box(), Qt::Key_End);
    QTest::keyClicks(box(), "+1");
    QCOMPARE(box()->text().size(), 2 * ones + 1);
    QTest::keyClick(box(), Qt::Key_Return);
    QCOMPARE(result()->text(), QString::number(ones + 1));
  }

 private:
  static QLineEdit* box() {
    return ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion");
  }
  static QLabel* result() {
    return ShellHarness::control<QLabel>(ScreenId::Calculador, "lblCalculo");
  }
  static QPushButton* button(const char* name) {
    return ShellHarness::control<QPushButton>(ScreenId::Calculador, name);
  }

  ShellHarness harness_;
};

QTEST_MAIN(CalculatorScreenTest)
#include "CalculatorScreenTest.moc"
