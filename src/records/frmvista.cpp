#include "frmvista.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "Announce.h"
#include "ErrorReason.h"
#include "RecordFile.h"
#include "ScreenRegistry.h"
#include "ShowMessage.h"
#include "Utf16Text.h"
#include "frmvistaLayout.h"

namespace records {

frmvista::frmvista() {
  namespace layout = frmvistaLayout;
  app::setUpWindow(*this, layout::kWindow);
  Label4 = app::makeLabel(*this, layout::Label4);
  Label1 = app::makeLabel(*this, layout::Label1);
  Label2 = app::makeLabel(*this, layout::Label2);
  Label3 = app::makeLabel(*this, layout::Label3);
  Label5 = app::makeLabel(*this, layout::Label5);
  Label6 = app::makeLabel(*this, layout::Label6);
  txtmat = app::makeTextBox(*this, layout::txtmat, Label1);
  cmdprocesar = app::makeButton(*this, layout::cmdprocesar);
  txtnom = app::makeTextBox(*this, layout::txtnom, Label2);
  txtdir = app::makeTextBox(*this, layout::txtdir, Label3);
  txttel = app::makeTextBox(*this, layout::txttel, Label5);
  txtsta = app::makeTextBox(*this, layout::txtsta, Label6);
  cmdatras = app::makeButton(*this, layout::cmdatras);
  cmdfin = app::makeButton(*this, layout::cmdfin);
  cmdborrar = app::makeButton(*this, layout::cmdborrar);
  Line1 = app::makeLine(*this, layout::Line1);
  Line2 = app::makeLine(*this, layout::Line2);
  app::applyTabOrder(*this);
  txtmat->setFocus();

  connect(cmdprocesar, &QPushButton::clicked, this, &frmvista::cmdprocesar_Click);
  connect(cmdborrar, &QPushButton::clicked, this, &frmvista::cmdborrar_Click);
  connect(cmdatras, &QPushButton::clicked, this, &frmvista::cmdatras_Click);
  connect(cmdfin, &QPushButton::clicked, this, &frmvista::cmdfin_Click);
}

void frmvista::cmdprocesar_Click() {
  const FindOutcome outcome =
      RecordFile::shared().FindRecord(app::toU16(txtmat->text()), lastRead_);
  switch (outcome.status) {
    case FindStatus::Found:
      txtnom->setText(app::fromU16(lastRead_.nombre));
      txtdir->setText(app::fromU16(lastRead_.direccion));
      txttel->setText(app::fromU16(lastRead_.telefono));
      txtsta->setText(app::fromU16(lastRead_.status));
      app::Announce(*this, Label2->text() + u' ' + txtnom->text());
      break;
    case FindStatus::NotFound:
      break;
    case FindStatus::ReadFailed:
      // A file that is there but cannot be read is no empty file: say so, and change nothing else.
      app::ShowMessage(QStringLiteral("No se pudo leer archivo.txt: %1")
                           .arg(app::fromU16(errorReason(outcome.error))));
      break;
  }
}

void frmvista::cmdborrar_Click() {
  txtmat->setText(QString());
  txtnom->setText(QString());
  txtdir->setText(QString());
  txttel->setText(QString());
  txtsta->setText(QString());
}

void frmvista::cmdatras_Click() {
  app::ShowScreen(app::ScreenId::Ingreso);
  app::UnloadScreen(app::ScreenId::Vista);
}

void frmvista::cmdfin_Click() {
  app::UnloadScreen(app::ScreenId::Vista);
}

}  // namespace records
