#!/usr/bin/env python3
"""Closed-form values of the relaxation table for laminates simple enough to solve the
sweep's explicit scheme by hand, written as case files verification/cases/creep_*.toml.

The scheme, per ply and time step n (time t_n, step dt_n = t_n - t_(n-1), t_0 = 0,
decay E_n = exp(-dt_n / tau)): the ply's material-axis stress is
s = Q (e + c_(n-1) - w_(n-1)), with e the load strain, c_(n-1) the laminate creep
deformation of the step before and w the ply's creep strain (transverse and shear
components only); then w_n = (1 - E_n) a s + E_n w_(n-1), with a = f / E2 for the
transverse and f / G12 for the shear component; the creep resultants of the current w of
every ply, times the laminate compliance, give c_n, the printed row. The times are
t_n = tau / 100 * 10^((n - 1) / 4).

Run once; rerun after changing a case here. The derivations are written into the case files
and so into the manual.
"""

import math
import pathlib

CASES = pathlib.Path(__file__).resolve().parent.parent / "cases"
NAMES = ("eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy")
ROWS = 16  # t_1 .. t_16 = 56.2 tau; a 17th row at 100 tau is printed or not by rounding


def times(tau, rows=ROWS):
    return [tau / 100.0 * 10.0 ** (n / 4.0) for n in range(rows)]


def isotropic_ply(e, nu, h, f, tau, loads, angle):
    """Rows (t_n, creep deformation) of one isotropic ply of thickness h at ANGLE degrees
    under the membrane loads (Nx, Ny, Nxy)."""
    g = e / (2.0 * (1.0 + nu))
    m, n = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    sx, sy, sxy = (v / h for v in loads)
    s2 = n * n * sx + m * m * sy - 2 * m * n * sxy
    s12 = -m * n * sx + m * n * sy + (m * m - n * n) * sxy
    rows = []
    for t in times(tau):
        phi = 1.0 - math.exp(-t / tau)
        w2, g12 = f * s2 / e * phi, f * s12 / g * phi
        rows.append((t, [n * n * w2 - m * n * g12, m * m * w2 + m * n * g12,
                         -2 * m * n * w2 + (m * m - n * n) * g12, 0.0, 0.0, 0.0]))
    return rows


def cross_ply(e1, e2, t, f, tau, nx):
    """Rows of the symmetric cross-ply [0/90]s, plies of thickness t, nu12 = 0, under Nx."""
    a11 = 2 * t * e1 + 2 * t * e2
    beta = 2 * t * e2 / a11
    strain = nx / a11
    gamma = 1.0 + f * (1.0 - beta)
    rows, product, previous = [], 1.0, 0.0
    for time in times(tau):
        decay = math.exp(-(time - previous) / tau)
        product *= 1.0 - gamma * (1.0 - decay)
        w = f * strain / gamma * (1.0 - product)
        rows.append((time, [beta * w, 0.0, 0.0, 0.0, 0.0, 0.0]))
        previous = time
    return rows


ISOTROPIC_DERIVATION = """\
One ply of an isotropic set (E1 = E2 = E, G12 = E / (2 (1 + nu12)), which the program
derives), thickness h, at angle theta, under the membrane loads Nx, Ny, Nxy alone.

- The ply lies at the mid-plane (zm = 0), so only mid-plane strains enter, and the laminate
  stiffness is A = h Q-bar with Q-bar = Q (isotropy): the load strain is e = A^-1 N and the
  laminate-axis stress Q-bar e = N / h, constant.
- Creep strain w (material axes) gives the creep resultants h T' Q w, and the creep
  deformation c = A^-1 h T' Q w = S T' Q w. For an isotropic set S T' Q is the rotation of
  engineering strains back to laminate axes, R T' R', so c is w turned into laminate axes,
  and at the next step the material-axis strain of c is w again.
- Hence s = Q (e + c_(n-1) - w_(n-1)) = Q e at every step: the stress does not relax, and
  the update w_n = (1 - E_n) a s + E_n w_(n-1) sums to w_n = a s (1 - E_1 E_2 ... E_n)
  = a s (1 - exp(-t_n / tau)), since the steps add up to t_n.
- With s2 = sin^2 Nx/h + cos^2 Ny/h - 2 sin cos Nxy/h and s12 = -sin cos Nx/h + sin cos Ny/h
  + (cos^2 - sin^2) Nxy/h, w2 = f s2 / E phi and g12 = f s12 / G12 phi, phi = 1 - exp(-t/tau).
- Printed: eps-xx = sin^2 w2 - sin cos g12, eps-yy = cos^2 w2 + sin cos g12,
  eps-xy = -2 sin cos w2 + (cos^2 - sin^2) g12, and no curvature. The fibre direction does
  not creep, so at theta = 0 eps-xx stays zero.

The program's explicit scheme is exact here: the closed form holds at every printed time,
however large the step.
"""

CROSS_PLY_DERIVATION = """\
The symmetric cross-ply [0/90/90/0] of one orthotropic set with nu12 = 0 (so that Q is
diag(E1, E2, G12) and no Poisson coupling enters), plies of thickness t, under Nx alone.

- A11 = 2t E1 + 2t E2, A22 = 2t E2 + 2t E1, A12 = 0, B = 0: the load strain is ex = Nx / A11,
  ey = 0, no shear, no curvature.
- 0 degree plies: s2 = E2 (ey + cy - w) with w their transverse creep strain; it starts at 0
  and nothing drives it (ey = 0, and the creep resultant Ny stays 0), so it stays 0. No ply
  has shear stress, so no shear creep.
- 90 degree plies: their transverse direction is x, so s2 = E2 (ex + cx - w), with w their
  transverse creep strain (both plies alike by symmetry, so their moments cancel). The creep
  resultant is Nx_c = 2t E2 w, and cx = beta w with beta = 2t E2 / A11.
- The update w_n = (1 - E_n) (f / E2) s2 + E_n w_(n-1) = (1 - gamma (1 - E_n)) w_(n-1)
  + (1 - E_n) f ex, with gamma = 1 + f (1 - beta). Its fixed point is w* = f ex / gamma, and
  w_n = w* (1 - P_n), P_n = (1 - gamma (1 - E_1)) ... (1 - gamma (1 - E_n)),
  E_i = exp(-(t_i - t_(i-1)) / tau).
- Printed: eps-xx = beta w_n; the other five are zero.

This is the solution of the program's explicit scheme, not of the continuous creep law: the
continuous solution would be w* (1 - exp(-gamma t / tau)), and the two part where the steps
are long. A factor 1 - gamma (1 - E_i) is below zero once a step is longer than
tau ln(gamma / (gamma - 1)), 1.30 relaxation times here: from row 11 on (steps of 1.4 to 25
relaxation times) the printed value overshoots its limit beta w* at row 11 and then
alternates about it as it settles.
"""


def toml_string(s):
    return '"' + s.replace("\\", "\\\\").replace('"', '\\"') + '"'


def case_file(title, description, derivation, sets, plies, loads, tau, rows, source):
    out = [
        "# Written by creep/closed_form.py: closed-form values of the relaxation table.",
        f"title = {toml_string(title)}",
        f"source = {toml_string(source)}",
        f"description = {toml_string(description)}",
        f'derivation = """\n{derivation}"""',
        f"relaxation-time = {tau!r}",
        "",
    ]
    for s in sets:
        out.append("[[set]]")
        out += [f"{k} = {v!r}" for k, v in s.items()]
        out.append("")
    for m, angle in plies:
        out += ["[[ply]]", f"set = {m}", f"angle = {angle!r}", ""]
    out.append("[loads]")
    out += [f"{k} = {v!r}" for k, v in loads.items()]
    out.append("")
    for n, (time, values) in enumerate(rows, 1):
        out += ["[[expect]]", f'name = "relaxation[{n}].time"', f"value = {time!r}", ""]
        for name, value in zip(NAMES, values):
            out += ["[[expect]]", f'name = "relaxation[{n}].{name}"', f"value = {value!r}"]
            if value == 0.0:
                out.append("structural-zero = true")
            out.append("")
    return "\n".join(out)


def main():
    source = "closed form of the creep scheme (derivation on this page)"
    e, nu, h, f, tau = 100.0, 0.25, 1.0, 0.5, 2.0
    for angle, loads in ((0.0, (10.0, 4.0, 3.0)), (30.0, (10.0, 4.0, 3.0))):
        name = f"creep_isotropic_ply_{int(angle)}"
        text = case_file(
            f"Creep of one isotropic ply at {angle:g} degrees",
            f"One isotropic ply (E = {e:g}, nu12 = {nu:g}, thickness {h:g}, creep fraction "
            f"{f:g}) at {angle:g} degrees under Nx, Ny, Nxy = {loads[0]:g}, {loads[1]:g}, "
            f"{loads[2]:g}; relaxation time {tau:g}.",
            ISOTROPIC_DERIVATION,
            [{"e1": e, "e2": e, "nu12": nu, "thickness": h, "creep-fraction": f}],
            [(1, angle)], dict(zip(("nx", "ny", "nxy"), loads)), tau,
            isotropic_ply(e, nu, h, f, tau, loads, angle), source)
        (CASES / f"{name}.toml").write_text(text)
    e1, e2, g12, t, f, tau, nx = 140.0, 10.0, 5.0, 1.0, 0.4, 1.0, 100.0
    text = case_file(
        "Creep of a symmetric cross-ply",
        f"[0/90/90/0] of one set (E1 = {e1:g}, E2 = {e2:g}, nu12 = 0, G12 = {g12:g}, "
        f"thickness {t:g}, creep fraction {f:g}) under Nx = {nx:g}; relaxation time {tau:g}.",
        CROSS_PLY_DERIVATION,
        [{"e1": e1, "e2": e2, "nu12": 0.0, "g12": g12, "thickness": t, "creep-fraction": f}],
        [(1, 0.0), (1, 90.0), (1, 90.0), (1, 0.0)], {"nx": nx}, tau,
        cross_ply(e1, e2, t, f, tau, nx), source)
    (CASES / "creep_cross_ply.toml").write_text(text)


if __name__ == "__main__":
    main()
