#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTest>

#include "ScreenRegistry.h"
#include "ShellHarness.h"

using app::ScreenId;
using testsupport::ShellHarness;

// The result label with a decimal comma in the user's regional settings, which Qt reads from the
// environment once, when the application starts.
class CalculatorCommaTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QCOMPARE(QLocale::system().decimalPoint(), QStringLiteral(",")); }

  void init() {
    harness_.start();
    app::ShowScreen(ScreenId::Calculador);
  }
  void cleanup() { harness_.stop(); }

  void theResultUsesTheUsersSeparator_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("result");
    QTest::newRow("a fraction is written with a comma") << "10/4" << QStringLiteral("2,5");
    QTest::newRow("a typed comma still ends the operand") << "2,5+1" << QStringLiteral("3");
    QTest::newRow("the period still reads a fraction") << "1/0.5" << QStringLiteral("2");
  }

  void theResultUsesTheUsersSeparator() {
    QFETCH(QString, expression);
    auto* box = ShellHarness::control<QLineEdit>(ScreenId::Calculador, "txtExpresion");
    QTest::keyClicks(box, expression);
    QTest::keyClick(box, Qt::Key_Return);
    QTEST(ShellHarness::control<QLabel>(ScreenId::Calculador, "lblCalculo")->text(), "result");
  }

 private:
  ShellHarness harness_;
};

int main(int argc, char* argv[]) {
  // The locale need not be generated: Qt takes the separator from the locale's name.
  qputenv("LC_ALL", "es_ES.UTF-8");
  QApplication application(argc, argv);
  CalculatorCommaTest test;
  return QTest::qExec(&test, argc, argv);
}

#include "CalculatorCommaTest.moc"
