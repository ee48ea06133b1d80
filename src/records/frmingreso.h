#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace records {

// The data entry screen. The record being entered lives only in its five boxes; "Grabar" hands
// them to the record file and reports how the save ended, and the other buttons move the user on.
class frmingreso : public QWidget {
  Q_OBJECT

 public:
  // Builds the window and its controls from the layout, with five empty boxes.
  frmingreso();

 private:
  void cmdgrabar_Click();
  void cmdvizualizar_Click();
  void cmdatras_Click();
  void cmdfin_Click();

  QLabel* Label4;
  QLabel* Label1;
  QLabel* Label2;
  QLabel* Label3;
  QLabel* Label5;
  QLabel* Label6;
  QLineEdit* txtmat;
  QLineEdit* txtnom;
  QLineEdit* txtdir;
  QLineEdit* txttel;
  QLineEdit* txtsta;
  QPushButton* cmdgrabar;
  QPushButton* cmdvizualizar;
  QPushButton* cmdfin;
  QPushButton* cmdatras;
};

}  // namespace records
