#pragma once

#include <QWidget>
#include <optional>

#include "OperatorTable.h"

class QLabel;
class QPushButton;

namespace calc {

class ExpressionBox;

// The calculator screen, the program's start-up screen. It only glues widgets to the calculator's
// core: each handler reads the expression box, asks the core (evaluation, the doubled-operator
// test, the end-operator stripping) and writes the answer back into the box and the result label.
// The expression lives only in the box and the last result only in the label.
class frmCalculador : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and its controls from the layout and runs the load handler.
  frmCalculador();

  // Evaluates `expression` strictly from left to right. A zero divisor empties the expression box,
  // is reported, and gives 0. An operand or a value beyond the double range, or a "%" operand
  // beyond the 32-bit integers, is reported and gives no value; the box keeps the expression.
  std::optional<double> EvalExpression(const QString& expression);

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void Form_Load();
  void Form_Activate();
  void txtExpresion_KeyUp(int key);
  void cmdCalc_Click();
  void cmdLimpiar_Click();
  void cmdSalir_Click();
  void cmdSiguiente_Click();

  void StripEndOperators();
  void EvaluateAndShow();

  QPushButton* cmdCalc;
  QPushButton* cmdSiguiente;
  QPushButton* cmdLimpiar;
  QPushButton* cmdSalir;
  ExpressionBox* txtExpresion;
  QLabel* lblCalculo;
  QLabel* lblResultado;
  QLabel* lblExpresion;
  QLabel* lblTitulo;

  OperatorTable operators_;
  bool activated_ = false;
};

}  // namespace calc
