#include "frmCalculador.h"

#include <QEvent>
#include <QLabel>
#include <QLocale>
#include <QPushButton>

#include "Announce.h"
#include "Evaluator.h"
#include "ExpressionBox.h"
#include "ExpressionChecks.h"
#include "NumberText.h"
#include "ProgramEnd.h"
#include "ScreenRegistry.h"
#include "ShowMessage.h"
#include "Utf16Text.h"
#include "frmCalculadorLayout.h"

namespace calc {
namespace {

const char kDivisionByZero[] = "Division entre cero No Definida";
const char kDoubledOperator[] = "Este Operador ya existe";
const char kOutOfRange[] = "Resultado fuera de rango";

// The separator of the user's regional settings, for the result as the label shows it.
char16_t decimalSeparator() {
  const QString point = QLocale::system().decimalPoint();
  return point.isEmpty() ? u'.' : point.front().unicode();
}

bool isEnterKey(int key) {
  return key == Qt::Key_Return || key == Qt::Key_Enter;
}

}  // namespace

frmCalculador::frmCalculador() {
  namespace layout = frmCalculadorLayout;
  app::setUpWindow(*this, layout::kWindow);
  cmdCalc = app::makeButton(*this, layout::cmdCalc);
  cmdSiguiente = app::makeButton(*this, layout::cmdSiguiente);
  cmdLimpiar = app::makeButton(*this, layout::cmdLimpiar);
  cmdSalir = app::makeButton(*this, layout::cmdSalir);
  lblCalculo = app::makeLabel(*this, layout::lblCalculo);
  lblResultado = app::makeLabel(*this, layout::lblResultado);
  lblExpresion = app::makeLabel(*this, layout::lblExpresion);
  lblTitulo = app::makeLabel(*this, layout::lblTitulo);
  txtExpresion = app::makeTextBox<ExpressionBox>(*this, layout::txtExpresion, lblExpresion);
  app::applyTabOrder(*this);
  // The result label reads out its current text; a fixed name would hide the result.
  lblCalculo->setAccessibleDescription(QStringLiteral("Resultado"));

  connect(txtExpresion, &ExpressionBox::keyReleased, this, &frmCalculador::txtExpresion_KeyUp);
  connect(cmdCalc, &QPushButton::clicked, this, &frmCalculador::cmdCalc_Click);
  connect(cmdLimpiar, &QPushButton::clicked, this, &frmCalculador::cmdLimpiar_Click);
  connect(cmdSalir, &QPushButton::clicked, this, &frmCalculador::cmdSalir_Click);
  connect(cmdSiguiente, &QPushButton::clicked, this, &frmCalculador::cmdSiguiente_Click);
  Form_Load();
}

void frmCalculador::changeEvent(QEvent* event) {
  QWidget::changeEvent(event);
  // The screen becomes the active window once per load, when the shell shows it; coming back from
  // a message box or another program is no new activation.
  if (event->type() == QEvent::ActivationChange && isActiveWindow() && !activated_) {
    activated_ = true;
    Form_Activate();
  }
}

void frmCalculador::Form_Load() {
  operators_.fill();
}

void frmCalculador::Form_Activate() {
  txtExpresion->setFocus();
}

void frmCalculador::txtExpresion_KeyUp(int key) {
  const QString text = txtExpresion->text();
  if (text.isEmpty()) {
    return;
  }
  if (hasDoubledOperator(app::toU16(text), operators_)) {
    // The last character goes, wherever the doubled pair stands.
    txtExpresion->setText(text.chopped(1));
    txtExpresion->setCursorPosition(static_cast<int>(txtExpresion->text().size()));
    app::ShowMessage(QString::fromUtf8(kDoubledOperator));
    return;
  }
  if (!isEnterKey(key)) {
    return;
  }
  StripEndOperators();
  EvaluateAndShow();
}

void frmCalculador::cmdCalc_Click() {
  if (txtExpresion->text().isEmpty()) {
    return;
  }
  StripEndOperators();
  EvaluateAndShow();
}

void frmCalculador::cmdLimpiar_Click() {
  txtExpresion->setText(QString());
  lblCalculo->setText(QString());
  txtExpresion->setFocus();
}

void frmCalculador::cmdSalir_Click() {
  app::EndProgram();
}

void frmCalculador::cmdSiguiente_Click() {
  app::ShowScreen(app::ScreenId::Ingreso);
  app::UnloadScreen(app::ScreenId::Calculador);
}

void frmCalculador::StripEndOperators() {
  const QString text = txtExpresion->text();
  const QString stripped = app::fromU16(stripEndOperators(app::toU16(text), operators_));
  if (stripped != text) {
    txtExpresion->setText(stripped);
    txtExpresion->selectAll();
  }
}

void frmCalculador::EvaluateAndShow() {
  const std::optional<double> value = EvalExpression(txtExpresion->text());
  lblCalculo->setText(value ? app::fromU16(fixedNumberText(*value, decimalSeparator()))
                            : QString());
  if (value) {
    app::Announce(*this, lblResultado->text() + u' ' + lblCalculo->text());
  }
}

std::optional<double> frmCalculador::EvalExpression(const QString& expression) {
  const EvalOutcome outcome = evaluateLeftToRight(app::toU16(expression));
  switch (outcome.status) {
    case EvalStatus::Value:
      return outcome.value;
    case EvalStatus::DivisionByZero:
      txtExpresion->setText(QString());
      app::ShowMessage(QString::fromUtf8(kDivisionByZero));
      return 0.0;
    case EvalStatus::OutOfRange:
      // Never a wrong number: the expression stays for the user to correct, the label empties.
      app::ShowMessage(QString::fromUtf8(kOutOfRange));
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace calc
