#!/usr/bin/env python3
"""Walks the program's three screens with the keyboard alone, as a blind user does, and checks what the
Orca screen reader speaks: the window titles, each control's name and role in tab order, the
calculator's results, the record a lookup finds (and nothing when it finds none), a report and the
confirmation of a save.

Usage: orca-speech.py TRANSCRIPT. Run it through orca-speech.sh, which starts the display, the buses,
Orca (writing what it speaks to TRANSCRIPT) and the program. Keys go in through the X server, so they
reach the program and Orca as a keyboard's would. Exits 1 at the first step whose speech differs.
"""

import re
import sys
import subprocess
import time

# How long Orca may take to speak one step; the walk moves on as soon as it has.
STEP_TIMEOUT_S = 30.0
# Orca's line for each utterance; a key it echoes carries its voice settings after the text.
UTTERANCE = re.compile(r"^SPEECH OUTPUT: '(.*)'(.*)$")
# What Orca says before an announcement's text.
ANNOUNCEMENT = "notification "
KEY_DELAY_MS = "150"


class Transcript:
    """What Orca has spoken so far, and how much of it the walk has checked."""

    def __init__(self, path):
        self.path = path
        self.checked = 0

    def utterances(self):
        with open(self.path, encoding="utf-8") as transcript:
            lines = transcript.read().splitlines()
        spoken = []
        for line in lines:
            match = UTTERANCE.match(line)
            if match and not match.group(2).endswith("}"):
                spoken.append(match.group(1))
        return spoken

    def expect(self, step, expected):
        """Waits until Orca has spoken `expected` in this order since the last step. Other speech may
        come between (a filled box reads out its text), but no announcement that is not expected."""
        deadline = time.monotonic() + STEP_TIMEOUT_S
        while True:
            new = self.utterances()[self.checked:]
            matched = 0
            for index, utterance in enumerate(new):
                if matched < len(expected) and utterance == expected[matched]:
                    matched += 1
                    if matched == len(expected):
                        self.check_no_stray_announcement(step, new[:index + 1], expected)
                        self.checked += index + 1
                        return
            if time.monotonic() > deadline:
                fail(step, f"Orca said {new!r}, expected {expected!r}")
            time.sleep(0.1)

    def expect_end(self, step):
        self.check_no_stray_announcement(step, self.utterances()[self.checked:], [])

    @staticmethod
    def check_no_stray_announcement(step, spoken, expected):
        stray = [u for u in spoken if u.startswith(ANNOUNCEMENT) and u not in expected]
        if stray:
            fail(step, f"Orca announced {stray!r}")


def fail(step, why):
    print(f"FAIL: {step}: {why}", file=sys.stderr)
    sys.exit(1)


# One key at a time, each followed by a wait for its speech: Orca drops a focus change that a newer
# one has overtaken, so keys sent in a burst would skip the controls between.
def press(key):
    subprocess.run(["xdotool", "key", "--", key], check=True)


def type_text(text):
    subprocess.run(["xdotool", "type", "--delay", KEY_DELAY_MS, "--", text], check=True)


def button(caption):
    return f"{caption} push button."


def box(label):
    return f"{label} text."


def announcement(text):
    return f"{ANNOUNCEMENT}{text}."


def tab_through(spoken, screen, controls):
    for control in controls:
        press("Tab")
        spoken.expect(f"{screen}: Tab to {control!r}", [control])


def main():
    spoken = Transcript(sys.argv[1])
    spoken.expect("Orca starts", ["Screen reader on."])

    # The calculator: its title and the focused box, every control on Tab, each result once.
    spoken.expect("the calculator appears", ["Form2.", box("Expresion:")])
    tab_through(spoken, "Form2", [button("Salir"), button("Borrar"), button("Siguiente >>"),
                                  button("Calcular"), box("Expresion:")])
    type_text("2+3*4")
    press("Return")
    spoken.expect("Return computes 2+3*4", [announcement("Resultado: 20")])
    type_text("-5")
    press("shift+Tab")
    spoken.expect("Shift+Tab to Calcular", [button("Calcular")])
    press("space")
    spoken.expect("Calcular computes 2+3*4-5", [announcement("Resultado: 15")])
    press("Tab")
    spoken.expect("Tab to the filled expression box", [box("Expresion:")])
    type_text("8/0")
    press("Return")
    spoken.expect("Return on 8/0 reports the zero divisor", ["alert Universidad Talvora.",
                                                            "Division entre cero No Definida.",
                                                            button("OK")])
    press("Return")
    # The 0 left in the label is told after the focus (and the title, which Orca may skip), either
    # of which would cut it off.
    spoken.expect("the report closes", [box("Expresion:"), announcement("Resultado: 0")])
    for control in [button("Calcular"), button("Siguiente >>")]:
        press("shift+Tab")
        spoken.expect(f"Form2: Shift+Tab to {control!r}", [control])
    press("space")

    # The entry screen: a record typed box by box, every control on Tab, the confirmation in full.
    spoken.expect("the entry screen appears", ["Ingreso de Datos.", box("matricula:")])
    for value, next_control in [("A-001", box("nombre:")), ("Ana Perez", box("direccion:")),
                                ("Calle Mayor 5", box("telefono:")), ("5550101", box("status:")),
                                ("activo", button("Grabar"))]:
        type_text(value)
        press("Tab")
        spoken.expect(f"Ingreso de Datos: Tab to {next_control!r}", [next_control])
    tab_through(spoken, "Ingreso de Datos", [button("Cerrar"), button("Visualizar"),
                                             button("<< Atras"), box("matricula:")])
    for control in [button("<< Atras"), button("Visualizar"), button("Cerrar"), button("Grabar")]:
        press("shift+Tab")
        spoken.expect(f"Ingreso de Datos: Shift+Tab back to {control!r}", [control])
    press("space")
    spoken.expect("Grabar confirms the save", ["alert Universidad Talvora.",
                                               "Los Datos han sido grabados exitosamente.",
                                               button("OK")])
    press("Return")
    spoken.expect("the confirmation closes", ["Ingreso de Datos.", button("Grabar")])
    tab_through(spoken, "Ingreso de Datos", [button("Cerrar"), button("Visualizar")])
    press("space")

    # The viewer: every control on Tab; a record found is announced, a miss is silent.
    spoken.expect("the viewer appears", ["Visualizacion de Datos.", box("matricula:")])
    tab_through(spoken, "Visualizacion de Datos",
                [box("nombre:"), box("direccion:"), box("telefono:"), box("status:"),
                 button("<< Atras"), button("Finalizar"), button("Limpiar Campos"),
                 button("Procesar"), box("matricula:")])
    type_text("A-001")
    press("shift+Tab")
    spoken.expect("Shift+Tab to Procesar", [button("Procesar")])
    press("space")
    spoken.expect("Procesar finds A-001", [announcement("nombre: Ana Perez")])
    press("shift+Tab")
    spoken.expect("Shift+Tab to Limpiar Campos", [button("Limpiar Campos")])
    press("space")
    tab_through(spoken, "Visualizacion de Datos", [button("Procesar"), box("matricula:")])
    type_text("Z-999")
    press("shift+Tab")
    spoken.expect("Shift+Tab to Procesar", [button("Procesar")])
    press("space")
    press("shift+Tab")
    spoken.expect("Procesar misses Z-999, then Shift+Tab", [button("Limpiar Campos")])
    press("shift+Tab")
    spoken.expect("Shift+Tab to Finalizar", [button("Finalizar")])
    press("space")
    spoken.expect_end("Finalizar ends the program")
    return 0


if __name__ == "__main__":
    sys.exit(main())
