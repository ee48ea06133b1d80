#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "RecordFile.h"
#include "ScreenRegistry.h"
#include "ShellHarness.h"

#ifdef _WIN32
#include <windows.h>
#endif

using app::ScreenId;
using records::RecordFile;
using testsupport::ShellHarness;

namespace {

const QString kSaved = QStringLiteral("Los Datos han sido grabados exitosamente");
const char* const kBoxes[] = {"txtmat", "txtnom", "txtdir", "txttel", "txtsta"};

// One record as the file stores it: five quoted lines ending in CR LF.
QByteArray recordBytes(const QList<QByteArray>& fields) {
  QByteArray bytes;
  for (const QByteArray& field : fields) {
    bytes += '"' + field + "\"\r\n";
  }
  return bytes;
}

const QByteArray kExample =
    recordBytes({"A-102", "Zuz Uzaro", "Calle 5, No. 12", "555-0101", "activo"});

QLineEdit* box(ScreenId screen, const char* name) {
  return ShellHarness::control<QLineEdit>(screen, name);
}

QStringList boxTexts(ScreenId screen) {
  QStringList texts;
  for (const char* name : kBoxes) {
    texts.append(box(screen, name)->text());
  }
  return texts;
}

QByteArray fileBytes() {
  QFile file(QStringLiteral("archivo.txt"));
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<no file>");
}

bool writeFile(const QByteArray& bytes) {
  QFile file(QStringLiteral("archivo.txt"));
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

#ifdef _WIN32
// Windows lists no process's handles; one open on the record file shows in that the file cannot be
// opened for exclusive use. So this tells none from some (the checks ask for at most one).
int descriptorsOnTheRecordFile() {
  HANDLE handle = CreateFileW(L"archivo.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_SHARING_VIOLATION ? 1 : 0;
  }
  CloseHandle(handle);
  return 0;
}

// Windows has no link from a file's name to a device.
constexpr bool kDevicesHaveFileNames = false;
#else
// Descriptors of this process open on the record file, as the operating system sees them.
int descriptorsOnTheRecordFile() {
  int count = 0;
  const QDir descriptors(QStringLiteral("/proc/self/fd"));
  for (const QString& entry : descriptors.entryList(QDir::Files | QDir::System)) {
    count += QFile::symLinkTarget(descriptors.filePath(entry)).endsWith("/archivo.txt") ? 1 : 0;
  }
  return count;
}

constexpr bool kDevicesHaveFileNames = true;
#endif

}  // namespace

// The data entry and viewer screens through their real widgets, on a real "archivo.txt" in a
// temporary working folder.
class RecordScreensTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    folder_ = std::make_unique<QTemporaryDir>();
    QVERIFY(folder_->isValid());
    QVERIFY(QDir::setCurrent(folder_->path()));
    harness_.start();
    app::ShowScreen(ScreenId::Calculador);
    QVERIFY(ShellHarness::click(ScreenId::Calculador, "cmdSiguiente"));
  }

  void cleanup() {
    harness_.stop();
    RecordFile::shared().CloseRecordFile();
    QVERIFY(QDir::setCurrent(startFolder_));
    folder_.reset();
  }

  // Grabar confirms each save and keeps the boxes, so a second click saves the record again.
  void grabarStoresTheTypedRecordAndConfirms() {
    const QStringList typed{"A-102", "Zuz Uzaro", "Calle 5, No. 12", "555-0101", "activo"};
    for (int i = 0; i < typed.size(); ++i) {
      QTest::keyClicks(box(ScreenId::Ingreso, kBoxes[i]), typed[i]);
    }
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(fileBytes().toHex(' '), kExample.toHex(' '));
    QCOMPARE(harness_.messageTexts(), QStringList{kSaved});
    QCOMPARE(boxTexts(ScreenId::Ingreso), typed);
    QCOMPARE(descriptorsOnTheRecordFile(), 0);
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(fileBytes(), kExample.repeated(2));
    QCOMPARE(harness_.messageTexts(), (QStringList{kSaved, kSaved}));
  }

  // A save after a lookup closes its handle and is found by the next lookup, as typed.
  void aSaveAfterALookupIsFoundByTheNextLookup() {
    QVERIFY(writeFile(kExample));
    findTheExampleOnTheViewer();
    click(ScreenId::Vista, "cmdatras");
    const QString nombre = QStringLiteral("Begoña Ibáñez ¿€?");
    QTest::keyClicks(box(ScreenId::Ingreso, "txtmat"), "N-1");
    box(ScreenId::Ingreso, "txtnom")->setText(nombre);
    QTest::keyClicks(box(ScreenId::Ingreso, "txtsta"), "nuevo");
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(harness_.messageTexts(), QStringList{kSaved});
    QCOMPARE(fileBytes().mid(kExample.size() + 7, 21), QByteArray("\"Bego\xF1"
                                                                  "a Ib\xE1\xF1"
                                                                  "ez \xBF\x80?\"\r\n"));
    click(ScreenId::Ingreso, "cmdvizualizar");
    QTest::keyClicks(box(ScreenId::Vista, "txtmat"), "N-1");
    click(ScreenId::Vista, "cmdprocesar");
    QCOMPARE(boxTexts(ScreenId::Vista), (QStringList{"N-1", nombre, "", "", "nuevo"}));
  }

  void aFieldTheFileCannotHoldIsRefused_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::newRow("a double quote") << "txtdir"
                                    << "Calle \"5\"";
    QTest::newRow("a character outside Windows-1252") << "txtnom" << QStringLiteral("Łukasz");
  }

  void aFieldTheFileCannotHoldIsRefused() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QVERIFY(writeFile(kExample));
    box(ScreenId::Ingreso, field.toUtf8().constData())->setText(text);
    click(ScreenId::Ingreso, "cmdgrabar");
    const QString name = field == "txtdir" ? "direccion" : "nombre";
    QCOMPARE(harness_.messageTexts(),
             QStringList{"No se puede grabar: el campo " + name +
                         " contiene un caracter que el archivo no admite"});
    QCOMPARE(fileBytes(), kExample);
  }

  void aFailedSaveIsReportedAndNeverConfirmed_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("archivo.txt is a folder") << "folder";
    if (kDevicesHaveFileNames) {
      QTest::newRow("archivo.txt is a device") << "device";
    }
  }

  void aFailedSaveIsReportedAndNeverConfirmed() {
    QFETCH(QString, how);
    QVERIFY(how == "folder" ? QDir().mkdir("archivo.txt")
                            : QFile::link("/dev/null", "archivo.txt"));
    QTest::keyClicks(box(ScreenId::Ingreso, "txtmat"), "A-1");
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(harness_.messages().size(), std::size_t{1});
    const QString shown = harness_.messages().front().text;
    const QString lead = QStringLiteral("No se pudo grabar el registro en archivo.txt: ");
    QVERIFY2(shown.startsWith(lead) && shown.size() > lead.size(), qPrintable(shown));
    QCOMPARE(descriptorsOnTheRecordFile(), 0);
  }

  // A file that ends inside a record is completed by the save, which says so once before the
  // usual confirmation.
  void aTornLastRecordIsCompletedAndTold() {
    const QByteArray torn = kExample + "\"T-1\"\r\n\"Tom";
    QVERIFY(writeFile(torn));
    QTest::keyClicks(box(ScreenId::Ingreso, "txtmat"), "N-2");
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(harness_.messageTexts(),
             (QStringList{
                 QStringLiteral("Se ha completado un registro incompleto al final de archivo.txt"),
                 kSaved}));
    QCOMPARE(fileBytes(),
             torn + "\"\r\n\"\"\r\n\"\"\r\n\"\"\r\n" + recordBytes({"N-2", "", "", "", ""}));
    click(ScreenId::Ingreso, "cmdgrabar");
    QCOMPARE(harness_.messageTexts().size(), 3);  // the file ends on a record now: no notice
  }

  void lookup_data() {
    QTest::addColumn<QString>("matricula");
    QTest::addColumn<QStringList>("shown");  // the five boxes after "Procesar"
    QTest::newRow("a stored matricula fills the other four boxes")
        << "A-102" << QStringList{"A-102", "Zuz Uzaro", "Calle 5, No. 12", "555-0101", "activo"};
    QTest::newRow("a matricula stored twice shows the earlier record")
        << "B-7" << QStringList{"B-7", "Bea", "Norte 1", "555-0107", "baja"};
    QTest::newRow("letter case makes another matricula")
        << "a-102" << QStringList{"a-102", "", "", "", ""};
    QTest::newRow("a trailing blank makes another matricula")
        << "A-102 " << QStringList{"A-102 ", "", "", "", ""};
    QTest::newRow("an empty matricula finds the first record without one")
        << "" << QStringList{"", "Sin", "Matricula", "0", "x"};
  }

  void lookup() {
    QFETCH(QString, matricula);
    QVERIFY(writeFile(recordBytes({"B-7", "Bea", "Norte 1", "555-0107", "baja"}) + kExample +
                      recordBytes({"", "Sin", "Matricula", "0", "x"}) +
                      recordBytes({"B-7", "Otra", "Sur 2", "555-0207", "activo"}) +
                      recordBytes({"", "Otro", "", "", ""})));
    goToViewer();
    QTest::keyClicks(box(ScreenId::Vista, "txtmat"), matricula);
    click(ScreenId::Vista, "cmdprocesar");
    QTEST(boxTexts(ScreenId::Vista), "shown");
    QVERIFY(harness_.messages().empty());
  }

  void aFileWithoutTheRecordChangesNothing_data() {
    QTest::addColumn<QByteArray>("content");  // null: no archivo.txt at all
    QTest::newRow("no archivo.txt") << QByteArray();
    QTest::newRow("an empty archivo.txt") << QByteArray("");
    QTest::newRow("the record is cut short by the end of the file")
        << kExample + recordBytes({"B-7", "Bea"});
    QTest::newRow("a file of other records") << kExample;
  }

  void aFileWithoutTheRecordChangesNothing() {
    QFETCH(QByteArray, content);
    if (!content.isNull()) {
      QVERIFY(writeFile(content));
    }
    goToViewer();
    const QStringList before{"B-7", "n", "d", "t", "s"};
    for (int i = 0; i < before.size(); ++i) {
      QTest::keyClicks(box(ScreenId::Vista, kBoxes[i]), before[i]);
    }
    click(ScreenId::Vista, "cmdprocesar");
    QCOMPARE(boxTexts(ScreenId::Vista), before);
    QVERIFY(harness_.messages().empty());
    QCOMPARE(descriptorsOnTheRecordFile(), 0);
  }

  void anUnreadableFileIsReportedAndChangesNothingElse() {
    QVERIFY(QDir().mkdir("archivo.txt"));
    goToViewer();
    QTest::keyClicks(box(ScreenId::Vista, "txtmat"), "A-102");
    QTest::keyClicks(box(ScreenId::Vista, "txtnom"), "n");
    click(ScreenId::Vista, "cmdprocesar");
    QCOMPARE(harness_.messages().size(), std::size_t{1});
    QVERIFY2(harness_.messages().front().text.startsWith("No se pudo leer archivo.txt: "),
             qPrintable(harness_.messages().front().text));
    QCOMPARE(boxTexts(ScreenId::Vista), (QStringList{"A-102", "n", "", "", ""}));
  }

  // Limpiar and Atras leave the file as the lookup left it; Visualizar closes it.
  void limpiarAtrasAndVisualizarAfterAHit() {
    QVERIFY(writeFile(kExample));
    findTheExampleOnTheViewer();
    click(ScreenId::Vista, "cmdborrar");
    QCOMPARE(boxTexts(ScreenId::Vista), QStringList(5, QString()));
    QCOMPARE(descriptorsOnTheRecordFile(), 1);
    click(ScreenId::Vista, "cmdatras");
    QCOMPARE(descriptorsOnTheRecordFile(), 1);
    click(ScreenId::Ingreso, "cmdvizualizar");
    QCOMPARE(descriptorsOnTheRecordFile(), 0);
    QCOMPARE(ShellHarness::loadedScreens(), std::vector<ScreenId>{ScreenId::Vista});
  }

  void finalizarLeavesTheFileAsTheLookupLeftIt() {
    QVERIFY(writeFile(kExample));
    findTheExampleOnTheViewer();
    click(ScreenId::Vista, "cmdfin");
    QCOMPARE(descriptorsOnTheRecordFile(), 1);
    ShellHarness::returnToEventLoop();
    QCOMPARE(harness_.endCount(), 1);
  }

 private:
  static void click(ScreenId screen, const char* button) {
    QVERIFY2(ShellHarness::click(screen, button), button);
    ShellHarness::returnToEventLoop();
  }
  static void goToViewer() { click(ScreenId::Ingreso, "cmdvizualizar"); }
  // Leaves the record file open for reading, as a successful lookup does.
  static void findTheExampleOnTheViewer() {
    goToViewer();
    QTest::keyClicks(box(ScreenId::Vista, "txtmat"), "A-102");
    click(ScreenId::Vista, "cmdprocesar");
  }

  ShellHarness harness_;
  QString startFolder_ = QDir::currentPath();
  std::unique_ptr<QTemporaryDir> folder_;
};

QTEST_MAIN(RecordScreensTest)
#include "RecordScreensTest.moc"
