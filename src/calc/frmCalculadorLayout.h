#pragma once

#include <QFont>

#include "TwipsLayout.h"

// The calculator screen's layout, in twips within the client area. Tab indexes order the focus;
// labels take none.
namespace calc::frmCalculadorLayout {

using app::ControlLayout;
using app::LabelLayout;
using app::TextAlign;
using app::TextColour;

inline constexpr app::WindowLayout kWindow{"frmCalculador", "Form2", 9165, 6330,
                                           app::Background::TitleBarText};

// clang-format off
//                                        name            caption         left   top   width  height  tab
inline constexpr ControlLayout cmdCalc     {"cmdCalc",      "Calcular",     {6600, 5640, 1095,  375},   8};
inline constexpr ControlLayout cmdSiguiente{"cmdSiguiente", "Siguiente >>", {4800, 5640, 1095,  375},   7};
inline constexpr ControlLayout cmdLimpiar  {"cmdLimpiar",   "Borrar",       {3000, 5640, 1095,  375},   6};
inline constexpr ControlLayout cmdSalir    {"cmdSalir",     "Salir",        {1200, 5640, 1095,  375},   5};
inline constexpr ControlLayout txtExpresion{"txtExpresion", "",             {1680, 2040, 4095,  375},   3};

inline constexpr app::FontLayout kBannerFont{"Arial", 15.75, QFont::Bold};

//                                        name            caption                 left   top   width  height  alignment        font               colour
inline constexpr LabelLayout lblCalculo    {"lblCalculo",   "",                    {1680, 3960, 4095,  375},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout lblResultado  {"lblResultado", "Resultado:",          { 360, 3960,  855,  255},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout lblExpresion  {"lblExpresion", "Expresion:",          { 300, 2040,  975,  375},  TextAlign::Left, app::kDefaultFont, TextColour::Default};
inline constexpr LabelLayout lblTitulo     {"lblTitulo",    "UNIVERSIDAD TALVORA", {2880,  480, 3255,  615},  TextAlign::Left, kBannerFont,       TextColour::Default};
// clang-format on

}  // namespace calc::frmCalculadorLayout
