#pragma once

#include <QWidget>

class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace records {

// The record viewer. "Procesar" looks the typed matricula up in the record file and shows the
// other four fields of the first record that has it; a matricula that is not stored is told by
// nothing changing. The result boxes are ordinary boxes that nothing reads back. The screen keeps
// no copy of the records a lookup reads: only a match is ever shown, and nothing else reads them.
class frmvista : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and its controls from the layout, with five empty boxes.
  frmvista();

 private:
  void cmdprocesar_Click();
  void cmdborrar_Click();
  void cmdatras_Click();
  void cmdfin_Click();

  QLabel* Label4;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label5;
  QLabel* Label6;
  QLineEdit* txtmat;
  QPushButton* cmdprocesar;
  QLineEdit* txtnom;
  QLineEdit* txtdir;
  QLineEdit* txttel;
  QLineEdit* txtsta;
  QPushButton* cmdatras;
  QPushButton* cmdfin;
  QPushButton* cmdborrar;
  QFrame* Line1;
  QFrame* Line2;
};

}  // namespace records
