#pragma once

#include <QFont>

#include "TwipsLayout.h"

// The calculator screen's layout, in twips within the client area. Tab indexes order the focus;
// labels take none.
namespace calc::frmCalculadorLayout {

using app::ControlSpec;
using app::LabelSpec;
using app::TextAlign;
using app::TextColour;

inline constexpr app::WindowSpec kWindow{"frmCalculador", "Form2", 9165, 6330,
                                         app::Background::TitleBarText};

// clang-format off
//                                        name            caption         left   top   width  height  tab
inline constexpr ControlSpec cmdCalc     {"cmdCalc",      "Calcular",     {6600, 5640, 1095,  375},   8};
inline constexpr ControlSpec cmdSiguiente{"cmdSiguiente", "Siguiente >>", {4800, 5640, 1095,  375},   7};
inline constexpr ControlSpec cmdLimpiar  {"cmdLimpiar",   "Borrar",       {3000, 5640, 1095,  375},   6};
inline constexpr ControlSpec cmdSalir    {"cmdSalir",     "Salir",        {1200, 5640, 1095,  375},   5};
inline constexpr ControlSpec txtExpresion{"txtExpresion", "",             {1680, 2040, 4095,  375},   3};

inline constexpr app::FontSpec kBannerFont{"Arial", 15.75, QFont::Bold};

//                                        name            caption                 left   top   width  height  alignment        font               colour
inline constexpr LabelSpec lblCalculo    {"lblCalculo",   "",                    {1680, 3960, 4095,  375},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec lblResultado  {"lblResultado", "Resultado:",          { 360, 3960,  855,  255},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec lblExpresion  {"lblExpresion", "Expresion:",          { 300, 2040,  975,  375},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelSpec lblTitulo     {"lblTitulo",    "UNIVERSIDAD TALVORA", {2880,  480, 3255,  615},  TextAlign::Left, kBannerFont,       TextColour::Default};
// clang-format on

}  // namespace calc::frmCalculadorLayout
