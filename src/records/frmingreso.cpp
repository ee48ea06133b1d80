#include "frmingreso.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "ErrorReason.h"
#include "ProgramEnd.h"
#include "RecordFile.h"
#include "ScreenRegistry.h"
#include "ShowMessage.h"
#include "Utf16Text.h"
#include "frmingresoLayout.h"

namespace records {
namespace {

const char kSaved[] = "Los Datos han sido grabados exitosamente";
const char kCompleted[] = "Se ha completado un registro incompleto al final de archivo.txt";

// The field's name as its label calls it.
QString fieldName(RecordField field) {
  switch (field) {
    case RecordField::Matricula:
      return QStringLiteral("matricula");
    case RecordField::Nombre:
      return QStringLiteral("nombre");
    case RecordField::Direccion:
      return QStringLiteral("direccion");
    case RecordField::Telefono:
      return QStringLiteral("telefono");
    case RecordField::Status:
      break;
  }
  return QStringLiteral("status");
}

QString saveReport(const SaveOutcome& outcome) {
  switch (outcome.status) {
    case SaveStatus::Saved:
      return QString::fromUtf8(kSaved);
    case SaveStatus::FieldNotStorable:
      return QStringLiteral(
                 "No se puede grabar: el campo %1 contiene un caracter que el archivo no "
                 "admite")
          .arg(fieldName(outcome.field));
    case SaveStatus::WriteFailed:
      break;
  }
  return QStringLiteral("No se pudo grabar el registro en archivo.txt: %1")
      .arg(app::fromU16(errorReason(outcome.error)));
}

std::u16string boxText(const QLineEdit& box) {
  return std::u16string(app::toU16(box.text()));
}

}  // namespace

frmingreso::frmingreso() {
  namespace layout = frmingresoLayout;
  app::setUpWindow(*this, layout::kWindow);
  Label4 = app::makeLabel(*this, layout::Label4);
  Label1 = app::makeLabel(*this, layout::Label1);
  Label2 = app::makeLabel(*this, layout::Label2);
  Label3 = app::makeLabel(*this, layout::Label3);
  Label5 = app::makeLabel(*this, layout::Label5);
  Label6 = app::makeLabel(*this, layout::Label6);
  txtmat = app::makeTextBox(*this, layout::txtmat, Label1);
  txtnom = app::makeTextBox(*this, layout::txtnom, Label2);
  txtdir = app::makeTextBox(*this, layout::txtdir, Label3);
  txttel = app::makeTextBox(*this, layout::txttel, Label5);
  txtsta = app::makeTextBox(*this, layout::txtsta, Label6);
  cmdgrabar = app::makeButton(*this, layout::cmdgrabar);
  cmdvizualizar = app::makeButton(*this, layout::cmdvizualizar);
  cmdfin = app::makeButton(*this, layout::cmdfin);
  cmdatras = app::makeButton(*this, layout::cmdatras);
  app::applyTabOrder(*this);
  txtmat->setFocus();

  connect(cmdgrabar, &QPushButton::clicked, this, &frmingreso::cmdgrabar_Click);
  connect(cmdvizualizar, &QPushButton::clicked, this, &frmingreso::cmdvizualizar_Click);
  connect(cmdatras, &QPushButton::clicked, this, &frmingreso::cmdatras_Click);
  connect(cmdfin, &QPushButton::clicked, this, &frmingreso::cmdfin_Click);
}

void frmingreso::cmdgrabar_Click() {
  const StudentRecord record{boxText(*txtmat), boxText(*txtnom), boxText(*txtdir), boxText(*txttel),
                             boxText(*txtsta)};
  const SaveOutcome outcome = RecordFile::shared().AppendRecord(record);
  if (outcome.repair == TailRepair::CompletedTornRecord) {
    // The file ended inside a record (a crash, an older program): the user should know that one
    // record there now has empty fields where its end was lost.
    app::ShowMessage(QString::fromUtf8(kCompleted));
  }
  // The confirmation only follows a record that is whole on disk; any other end is told as such.
  app::ShowMessage(saveReport(outcome));
}

void frmingreso::cmdvizualizar_Click() {
  app::UnloadScreen(app::ScreenId::Ingreso);
  app::ShowScreen(app::ScreenId::Vista);
  RecordFile::shared().CloseRecordFile();
}

void frmingreso::cmdatras_Click() {
  app::UnloadScreen(app::ScreenId::Ingreso);
  app::ShowScreen(app::ScreenId::Calculador);
}

void frmingreso::cmdfin_Click() {
  app::EndProgram();
}

}  // namespace records
