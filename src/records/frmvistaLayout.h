#pragma once

#include <QFont>

#include "TwipsLayout.h"

// The record viewer's layout, in twips within the client area. Tab indexes order the focus; labels
// and lines take none.
namespace records::frmvistaLayout {

using app::ControlLayout;
using app::LabelLayout;
using app::TextAlign;
using app::TextColour;

inline constexpr app::WindowLayout kWindow{"frmvista", "Visualizacion de Datos", 7650, 5565,
                                           app::Background::White};

inline constexpr app::FontLayout kTitleFont{"MS Sans Serif", 13.5, QFont::Normal};

// clang-format off
//                                     name      caption                        left   top   width  height  alignment           font               colour
inline constexpr LabelLayout Label4     {"Label4", "UNIVERSIDAD NORVESA TALVORA", { 840,  120, 6135,  495},  TextAlign::Centre, kTitleFont,        TextColour::Blue};
inline constexpr LabelLayout Label1     {"Label1", "matricula:",                  { 240,  840, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label2     {"Label2", "nombre:",                     { 240, 1680, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label3     {"Label3", "direccion:",                  { 240, 2400, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label5     {"Label5", "telefono:",                   { 240, 3120, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout Label6     {"Label6", "status:",                     { 240, 3840, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};

//                                    name           caption            left   top   width  height  tab
inline constexpr ControlLayout txtmat     {"txtmat",      "",               {1800,  840, 2175,  375},   0};
inline constexpr ControlLayout cmdprocesar{"cmdprocesar", "Procesar",       {4560,  840, 1695,  375},   9};
inline constexpr ControlLayout txtnom     {"txtnom",      "",               {1680, 1680, 2895,  375},   1};
inline constexpr ControlLayout txtdir     {"txtdir",      "",               {1680, 2400, 2895,  375},   2};
inline constexpr ControlLayout txttel     {"txttel",      "",               {1680, 3120, 2175,  375},   3};
inline constexpr ControlLayout txtsta     {"txtsta",      "",               {1680, 3840,  495,  375},   4};
inline constexpr ControlLayout cmdatras   {"cmdatras",    "<< Atras",       {1320, 4680, 1335,  495},   5};
inline constexpr ControlLayout cmdfin     {"cmdfin",      "Finalizar",      {3120, 4680, 1335,  495},   6};
inline constexpr ControlLayout cmdborrar  {"cmdborrar",   "Limpiar Campos", {5040, 4680, 1335,  495},   7};

//                                             name     x1    x2    y
inline constexpr app::LineLayout Line1{"Line1", 240, 7320, 1440};
inline constexpr app::LineLayout Line2{"Line2", 240, 7320, 4440};
// clang-format on

}  // namespace records::frmvistaLayout
