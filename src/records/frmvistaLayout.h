#pragma once

#include <QFont>

#include "TwipsLayout.h"

// The record viewer's layout, in twips within the client area. Tab indexes order the focus; labels
// and lines take none.
namespace records::frmvistaLayout {

using app::ControlSpec;
using app::LabelSpec;
using app::TextAlign;
using app::TextColour;

inline constexpr app::WindowSpec kWindow{"frmvista", "Visualizacion de Datos", 7650, 5565,
                                         app::Background::White};

inline constexpr app::FontSpec kTitleFont{"MS Sans Serif", 13.5, QFont::Normal};

// clang-format off
//                                     name      caption                        left   top   width  height  alignment           font               colour
inline constexpr LabelSpec Label4     {"Label4", "UNIVERSIDAD NORVESA TALVORA", { 840,  120, 6135,  495},  TextAlign::Centre, kTitleFont,        TextColour::Blue};
inline constexpr LabelSpec Label1     {"Label1", "matricula:",                  { 240,  840, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec Label2     {"Label2", "nombre:",                     { 240, 1680, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec Label3     {"Label3", "direccion:",                  { 240, 2400, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec Label5     {"Label5", "telefono:",                   { 240, 3120, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec Label6     {"Label6", "status:",                     { 240, 3840, 1215,  375},  TextAlign::Right,  app::kDefaultFont, TextColour::Default};

//                                    name           caption            left   top   width  height  tab
inline constexpr ControlSpec txtmat     {"txtmat",      "",               {1800,  840, 2175,  375},   0};
inline constexpr ControlSpec cmdprocesar{"cmdprocesar", "Procesar",       {4560,  840, 1695,  375},   9};
inline constexpr ControlSpec txtnom     {"txtnom",      "",               {1680, 1680, 2895,  375},   1};
inline constexpr ControlSpec txtdir     {"txtdir",      "",               {1680, 2400, 2895,  375},   2};
inline constexpr ControlSpec txttel     {"txttel",      "",               {1680, 3120, 2175,  375},   3};
inline constexpr ControlSpec txtsta     {"txtsta",      "",               {1680, 3840,  495,  375},   4};
inline constexpr ControlSpec cmdatras   {"cmdatras",    "<< Atras",       {1320, 4680, 1335,  495},   5};
inline constexpr ControlSpec cmdfin     {"cmdfin",      "Finalizar",      {3120, 4680, 1335,  495},   6};
inline constexpr ControlSpec cmdborrar  {"cmdborrar",   "Limpiar Campos", {5040, 4680, 1335,  495},   7};

//                                             name     x1    x2    y
inline constexpr app::HorizontalLineSpec Line1{"Line1", 240, 7320, 1440};
inline constexpr app::HorizontalLineSpec Line2{"Line2", 240, 7320, 4440};
// clang-format on

}  // namespace records::frmvistaLayout
