#include <QAccessible>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>
#include <memory>
#include <vector>

#include "RecordFile.h"
#include "ShowMessage.h"
#include "frmCalculador.h"
#include "frmingreso.h"
#include "frmvista.h"

namespace {

// What a screen reader is told about the program's screens through Qt's accessibility layer: the
// name of each box and of the result, the order in which Tab visits the controls, and the result
// read out as it changes. Each screen is built as the shell builds it and walked like a reader
// does.

enum class Screen { Calculador, Ingreso, Vista };

struct ExpectedControl {
  const char* objectName;
  const char* name;  // what a reader speaks: a box's label, a label's text
};

// What a reader meets on one screen: its controls, and the order in which Tab visits them.
struct ScreenFacts {
  const char* name;
  std::unique_ptr<QWidget> (*make)();
  std::vector<ExpectedControl> controls;
  QStringList tabOrder;
};

template <class Window>
std::unique_ptr<QWidget> make() {
  return std::make_unique<Window>();
}

// The record screens name their boxes alike.
const std::vector<ExpectedControl> kRecordBoxes{
    {"txtmat", "matricula:"}, {"txtnom", "nombre:"}, {"txtdir", "direccion:"},
    {"txttel", "telefono:"},  {"txtsta", "status:"},
};

const ScreenFacts& factsOf(Screen screen) {
  static const ScreenFacts facts[] = {
      {"frmCalculador",
       &make<calc::frmCalculador>,
       {{"txtExpresion", "Expresion:"}, {"lblCalculo", ""}},
       {"txtExpresion", "cmdSalir", "cmdLimpiar", "cmdSiguiente", "cmdCalc"}},
      {"frmingreso",
       &make<records::frmingreso>,
       kRecordBoxes,
       {"txtmat", "txtnom", "txtdir", "txttel", "txtsta", "cmdgrabar", "cmdfin", "cmdvizualizar",
        "cmdatras"}},
      {"frmvista",
       &make<records::frmvista>,
       kRecordBoxes,
       {"txtmat", "txtnom", "txtdir", "txttel", "txtsta", "cmdatras", "cmdfin", "cmdborrar",
        "cmdprocesar"}},
  };
  return facts[static_cast<int>(screen)];
}

// The control named `objectName` among the window's children, as a reader's tree walk meets it.
QAccessibleInterface* nodeNamed(QAccessibleInterface* window, const QString& objectName) {
  for (int i = 0; i < window->childCount(); ++i) {
    QAccessibleInterface* child = window->child(i);
    if (child != nullptr && child->object() != nullptr &&
        child->object()->objectName() == objectName) {
      return child;
    }
  }
  return nullptr;
}

// The control the reader announces as focused, found through the window's accessible tree.
QString focusedControl(QWidget& window) {
  QAccessibleInterface* focused = QAccessible::queryAccessibleInterface(&window)->focusChild();
  return focused == nullptr || focused->object() == nullptr ? QString()
                                                            : focused->object()->objectName();
}

void showActive(QWidget& window) {
  window.show();
  window.activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(&window));
}

// What a reader speaks without the focus moving: each notification, by its text, as it becomes
// visible. (Qt hands the accessibility event of that moment to no one under the offscreen
// platform.)
class AnnouncementListener : public QObject {
 public:
  QStringList texts;

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    if (event->type() == QEvent::Show && object->isWidgetType()) {
      QAccessibleInterface* node = QAccessible::queryAccessibleInterface(object);
      if (node != nullptr && node->role() == QAccessible::Notification) {
        texts << node->text(QAccessible::Name);
      }
    }
    return false;
  }
};

}  // namespace

class AccessibilityTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    // No reader is attached under the offscreen platform; the messages a handler would show must
    // not open a modal box either.
    app::setMessageHandler([this](const QString& text) { messages_ << text; });
    qApp->installEventFilter(&announcements_);
  }

  void init() {
    messages_.clear();
    announcements_.texts.clear();
  }

  void cleanupTestCase() {
    qApp->removeEventFilter(&announcements_);
    app::setMessageHandler({});
  }

  void controlsCarryTheirName_data() {
    QTest::addColumn<Screen>("screen");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("name");
    for (Screen screen : {Screen::Calculador, Screen::Ingreso, Screen::Vista}) {
      for (const ExpectedControl& control : factsOf(screen).controls) {
        QTest::addRow("%s %s", factsOf(screen).name, control.objectName)
            << screen << control.objectName << control.name;
      }
    }
  }

  void controlsCarryTheirName() {
    QFETCH(Screen, screen);
    QFETCH(QString, objectName);
    QFETCH(QString, name);
    const std::unique_ptr<QWidget> window = factsOf(screen).make();
    QAccessibleInterface* node =
        nodeNamed(QAccessible::queryAccessibleInterface(window.get()), objectName);
    QVERIFY2(node != nullptr, "the control is missing from the accessible tree");
    QCOMPARE(node->text(QAccessible::Name), name);
  }

  // The focus starts on the first control of the tab order, Tab walks the rest in order and wraps
  // round, and Shift+Tab goes back, as the reader announces each control.
  void tabWalksTheTabOrder_data() {
    QTest::addColumn<Screen>("screen");
    for (Screen screen : {Screen::Calculador, Screen::Ingreso, Screen::Vista}) {
      QTest::newRow(factsOf(screen).name) << screen;
    }
  }

  void tabWalksTheTabOrder() {
    QFETCH(Screen, screen);
    const std::unique_ptr<QWidget> window = factsOf(screen).make();
    showActive(*window);
    const QStringList& order = factsOf(screen).tabOrder;
    QTRY_COMPARE(focusedControl(*window), order.first());
    QStringList visited{focusedControl(*window)};
    for (qsizetype i = 1; i <= order.size(); ++i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      visited << focusedControl(*window);
    }
    QCOMPARE(visited, order + QStringList{order.first()});
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    QCOMPARE(focusedControl(*window), order.last());
  }

  // A result is news that the focus does not bring to a reader: each one is announced once, with
  // the focus left where it was; a report that leaves the label empty announces nothing. The
  // result label has no fixed name that would hide the result: a reader speaks its current text,
  // with "Resultado" as its description.
  void theCalculatorAnnouncesEachResultOnce_data() {
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QStringList>("announced");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("a result") << "2+3*4" << QStringList{"Resultado: 20"} << QStringList{};
    QTest::newRow("the 0 a zero divisor leaves, after its message")
        << "8/0" << QStringList{"Resultado: 0"} << QStringList{"Division entre cero No Definida"};
    QTest::newRow("no result beyond range, only its message")
        << "3000000000%2" << QStringList{} << QStringList{"Resultado fuera de rango"};
  }

  void theCalculatorAnnouncesEachResultOnce() {
    QFETCH(QString, expression);
    QFETCH(QStringList, announced);
    QFETCH(QStringList, messages);
    calc::frmCalculador window;
    showActive(window);
    auto* calcular = window.findChild<QPushButton*>("cmdCalc");
    calcular->setFocus();
    window.findChild<QLineEdit*>("txtExpresion")->setText(expression);
    QTest::keyClick(calcular, Qt::Key_Space);
    QCOMPARE(messages_, messages);
    QCOMPARE(announcements_.texts, announced);
    QCOMPARE(QApplication::focusWidget(), calcular);
    auto* label = window.findChild<QLabel*>("lblCalculo");
    QAccessibleInterface* result = QAccessible::queryAccessibleInterface(label);
    QCOMPARE(result->text(QAccessible::Name), label->text());
    QCOMPARE(result->text(QAccessible::Description), QStringLiteral("Resultado"));
    QTest::mouseClick(window.findChild<QPushButton*>("cmdLimpiar"), Qt::LeftButton);
    QCOMPARE(announcements_.texts, announced);
  }

  // A result that comes while the screen is not the active window (a message box over it is
  // closing) waits until the screen is active again, so that the reader telling the screen does
  // not cut it off; it is not lost.
  void aResultForAnInactiveScreenIsAnnouncedWhenItIsActiveAgain() const {
    calc::frmCalculador window;
    showActive(window);
    QWidget other;
    showActive(other);
    window.findChild<QLineEdit*>("txtExpresion")->setText(QStringLiteral("2+3*4"));
    QTest::mouseClick(window.findChild<QPushButton*>("cmdCalc"), Qt::LeftButton);
    const QStringList whileInactive = announcements_.texts;
    showActive(window);
    QTRY_COMPARE(announcements_.texts, QStringList{"Resultado: 20"});
    QCOMPARE(whileInactive, QStringList());
  }

  // A record found is told by the name it holds, at each lookup; a miss is told by nothing
  // changing, not a word.
  void theViewerAnnouncesTheRecordItFinds() {
    const QString previousFolder = QDir::currentPath();
    QTemporaryDir folder;
    QVERIFY(QDir::setCurrent(folder.path()));
    QFile file(QStringLiteral("archivo.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("\"A-001\"\r\n\"Ana Perez\"\r\n\"Calle Mayor 5\"\r\n\"5550101\"\r\n\"activo\"\r\n");
    file.close();
    records::frmvista window;
    showActive(window);
    auto* matricula = window.findChild<QLineEdit*>("txtmat");
    auto* procesar = window.findChild<QPushButton*>("cmdprocesar");
    QStringList announcedPerLookup;
    for (const char* key : {"A-001", "Z-999", "A-001"}) {
      matricula->setText(QString::fromLatin1(key));
      QTest::mouseClick(procesar, Qt::LeftButton);
      announcedPerLookup << announcements_.texts.join(u'|');
      announcements_.texts.clear();
    }
    records::RecordFile::shared().CloseRecordFile();
    QDir::setCurrent(previousFolder);
    QCOMPARE(messages_, QStringList());
    QCOMPARE(announcedPerLookup, (QStringList{"nombre: Ana Perez", "", "nombre: Ana Perez"}));
  }

 private:
  QStringList messages_;
  AnnouncementListener announcements_;
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
