#pragma once

#include <QFont>

#include "TwipsLayout.h"

// The data entry screen's layout, in twips within the client area. Tab indexes order the focus;
// labels take none.
namespace records::frmingresoLayout {

using app::ControlLayout;
using app::LabelLayout;
using app::TextAlign;
using app::TextColour;

inline constexpr app::WindowLayout kWindow{"frmingreso", "Ingreso de Datos", 7635, 5355,
                                           app::Background::White};

inline constexpr app::FontLayout kTitleFont{"MS Sans Serif", 13.5, QFont::Normal};

// clang-format off
//                                     name      caption                        left   top   width  height  alignment           font               colour
inline constexpr LabelLayout Label4     {"Label4", "UNIVERSIDAD NORVESA TALVORA", { 720,  240, 6135,  495},  TextAlign::Centre, kTitleFont,        TextColour::Blue};
inline constexpr LabelLayout Label1     {"Label1", "matricula:",                  { 120, 1200, 1095,  255},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label2     {"Label2", "nombre:",                     { 120, 1800, 1095,  255},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label3     {"Label3", "direccion:",                  { 120, 2400, 1095,  255},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label5     {"Label5", "telefono:",                   { 120, 3000, 1095,  255},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label6     {"Label6", "status:",                     { 120, 3600, 1095,  255},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};

//                                      name             caption        left   top   width  height  tab
inline constexpr ControlLayout txtmat       {"txtmat",        "",           {1560, 1200, 2055,  375},   0};
inline constexpr ControlLayout txtnom       {"txtnom",        "",           {1560, 1800, 3735,  375},   1};
inline constexpr ControlLayout txtdir       {"txtdir",        "",           {1560, 2400, 3735,  375},   2};
inline constexpr ControlLayout txttel       {"txttel",        "",           {1560, 3000, 2655,  375},   3};
inline constexpr ControlLayout txtsta       {"txtsta",        "",           {1560, 3600,  615,  375},   4};
inline constexpr ControlLayout cmdgrabar    {"cmdgrabar",     "Grabar",     {1320, 4440, 1215,  495},   5};
inline constexpr ControlLayout cmdvizualizar{"cmdvizualizar", "Visualizar", {2880, 4440, 1215,  495},   7};
inline constexpr ControlLayout cmdfin       {"cmdfin",        "Cerrar",     {4440, 4440, 1215,  495},   6};
inline constexpr ControlLayout cmdatras     {"cmdatras",      "<< Atras",   {6000, 4440, 1215,  495},   9};
// clang-format on

}  // namespace records::frmingresoLayout
