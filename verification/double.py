"""Classical lamination theory in double precision, from the textbook formulas.

An independent calculation of every quantity the program prints or the kit derives, for
the manual to set beside a disagreement: plain doubles throughout, pi to double precision,
the ply stiffness by its closed-form entries, the transformed stiffness by the usual
quartic formulas (not by inverting a transformed compliance), the laminate matrix inverted
by Gauss-Jordan elimination with partial pivoting. Its conventions are the program's: ply 1
at the bottom, z upward from the mid-plane, engineering shear strain, stresses at each
ply's mid-thickness in its material axes, the creep sweep's explicit scheme on the same
time grid (four steps a decade from a hundredth of the relaxation time), with the creep
resultants of the current creep strains at every step.
"""

import math

ISOTROPY_TOLERANCE = 0.001


def shear_modulus(material):
    """G12 as the program takes it: asked when the moduli differ by 0.1% or more, else
    E1 / (2 (1 + nu12))."""
    e1, e2 = material["e1"], material["e2"]
    if abs((e1 - e2) / e1) >= ISOTROPY_TOLERANCE:
        return material["g12"]
    return e1 / (2.0 * (1.0 + material["nu12"]))


def reduced_stiffness(material):
    e1, e2, nu12 = material["e1"], material["e2"], material["nu12"]
    nu21 = nu12 * e2 / e1
    d = 1.0 - nu12 * nu21
    return [[e1 / d, nu12 * e2 / d, 0.0], [nu12 * e2 / d, e2 / d, 0.0],
            [0.0, 0.0, shear_modulus(material)]]


def transformed_stiffness(q, angle):
    m, n = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    q11, q12, q22, q66 = q[0][0], q[0][1], q[1][1], q[2][2]
    m2, n2, mn = m * m, n * n, m * n
    b11 = q11 * m2 * m2 + 2 * (q12 + 2 * q66) * m2 * n2 + q22 * n2 * n2
    b22 = q11 * n2 * n2 + 2 * (q12 + 2 * q66) * m2 * n2 + q22 * m2 * m2
    b12 = (q11 + q22 - 4 * q66) * m2 * n2 + q12 * (m2 * m2 + n2 * n2)
    b66 = (q11 + q22 - 2 * q12 - 2 * q66) * m2 * n2 + q66 * (m2 * m2 + n2 * n2)
    b16 = (q11 - q12 - 2 * q66) * m2 * mn - (q22 - q12 - 2 * q66) * n2 * mn
    b26 = (q11 - q12 - 2 * q66) * n2 * mn - (q22 - q12 - 2 * q66) * m2 * mn
    return [[b11, b12, b16], [b12, b22, b26], [b16, b26, b66]]


def stress_rotation(angle):
    """Laminate-axis stresses to material-axis stresses."""
    m, n = math.cos(math.radians(angle)), math.sin(math.radians(angle))
    return [[m * m, n * n, 2 * m * n], [n * n, m * m, -2 * m * n], [-m * n, m * n, m * m - n * n]]


def inverse(a):
    """Gauss-Jordan elimination with partial pivoting."""
    n = len(a)
    w = [list(row) + [1.0 if i == j else 0.0 for j in range(n)] for i, row in enumerate(a)]
    for c in range(n):
        p = max(range(c, n), key=lambda r: abs(w[r][c]))
        if w[p][c] == 0.0:
            raise ZeroDivisionError("singular matrix")
        w[c], w[p] = w[p], w[c]
        pivot = w[c][c]
        w[c] = [x / pivot for x in w[c]]
        for r in range(n):
            if r != c and w[r][c] != 0.0:
                f = w[r][c]
                w[r] = [x - f * y for x, y in zip(w[r], w[c])]
    return [row[n:] for row in w]


def mat_vec(a, v):
    return [sum(a[i][j] * v[j] for j in range(len(v))) for i in range(len(a))]


class Laminate:
    """A laminate of material sets (dicts e1, e2, nu12, g12, thickness, creep-fraction)
    and plies (set number from 1, angle in degrees), bottom ply first."""

    def __init__(self, sets, plies):
        self.sets = sets
        self.plies = plies
        self.h = sum(sets[m - 1]["thickness"] for m, _ in plies)
        z = [-self.h / 2.0]
        for m, _ in plies:
            z.append(z[-1] + sets[m - 1]["thickness"])
        self.z = z
        self.q = [reduced_stiffness(sets[m - 1]) for m, _ in plies]
        self.qbar = [transformed_stiffness(q, angle) for q, (_, angle) in zip(self.q, plies)]
        abd = [[0.0] * 6 for _ in range(6)]
        for k, qb in enumerate(self.qbar):
            z0, z1 = z[k], z[k + 1]
            for i in range(3):
                for j in range(3):
                    abd[i][j] += qb[i][j] * (z1 - z0)
                    abd[i][j + 3] += qb[i][j] * (z1 * z1 - z0 * z0) / 2.0
                    abd[i + 3][j] += qb[i][j] * (z1 * z1 - z0 * z0) / 2.0
                    abd[i + 3][j + 3] += qb[i][j] * (z1 ** 3 - z0 ** 3) / 3.0
        self.stiffness = abd
        self.compliance = inverse(abd)

    def mid(self, k):
        return (self.z[k - 1] + self.z[k]) / 2.0

    def response(self, loads):
        """Deformation (eps-xx .. kappa-xy) and the material-axis stresses of each ply at
        its mid-thickness."""
        e = mat_vec(self.compliance, loads)
        stresses = []
        for k in range(1, len(self.plies) + 1):
            strain = [e[i] + self.mid(k) * e[i + 3] for i in range(3)]
            sxy = mat_vec(self.qbar[k - 1], strain)
            stresses.append(mat_vec(stress_rotation(self.plies[k - 1][1]), sxy))
        return e, stresses

    def creep_sweep(self, loads, relaxation_time, rows):
        """The first `rows` rows of the relaxation table: (time, creep deformation)."""
        e, _ = self.response(loads)
        n = len(self.plies)
        w = [[0.0, 0.0, 0.0] for _ in range(n)]
        creep = [0.0] * 6
        table = []
        previous = 0.0
        for row in range(rows):
            time = relaxation_time / 100.0 * 10.0 ** (row / 4.0)
            decay = math.exp(-(time - previous) / relaxation_time)
            resultants = [0.0] * 6
            for k in range(1, n + 1):
                material = self.sets[self.plies[k - 1][0] - 1]
                angle = self.plies[k - 1][1]
                t = stress_rotation(angle)
                zm = self.mid(k)
                total = [e[i] + creep[i] + zm * (e[i + 3] + creep[i + 3]) for i in range(3)]
                strain = strain_to_material(t, total)
                elastic = [strain[i] - w[k - 1][i] for i in range(3)]
                s = mat_vec(self.q[k - 1], elastic)
                a2 = material["creep-fraction"] / material["e2"]
                a3 = material["creep-fraction"] / shear_modulus(material)
                w[k - 1][1] = (1.0 - decay) * s[1] * a2 + decay * w[k - 1][1]
                w[k - 1][2] = (1.0 - decay) * s[2] * a3 + decay * w[k - 1][2]
                sc = mat_vec(inverse(t), mat_vec(self.q[k - 1], w[k - 1]))
                hk = self.z[k] - self.z[k - 1]
                for i in range(3):
                    resultants[i] += sc[i] * hk
                    resultants[i + 3] += sc[i] * hk * zm
            creep = mat_vec(self.compliance, resultants)
            table.append((time, list(creep)))
            previous = time
        return table


def strain_to_material(t, strain):
    """Engineering strains in laminate axes to engineering strains in material axes: the
    stress rotation acts on tensor shear strain."""
    tensor = [strain[0], strain[1], strain[2] / 2.0]
    r = mat_vec(t, tensor)
    return [r[0], r[1], 2.0 * r[2]]


def quantities(sets, plies, loads, relaxation_time=None, rows=0):
    """Every quantity by the kit's name, in double precision."""
    lam = Laminate(sets, plies)
    out = {}
    for i in range(6):
        for j in range(6):
            out[f"stiffness[{i + 1},{j + 1}]"] = lam.stiffness[i][j]
            out[f"compliance[{i + 1},{j + 1}]"] = lam.compliance[i][j]
    e, stresses = lam.response(loads)
    for name, value in zip(DEFORMATION_NAMES, e):
        out[name] = value
    for k, s in enumerate(stresses, start=1):
        for name, value in zip(("sigma-1", "sigma-2", "sigma-12"), s):
            out[f"ply[{k}].{name}"] = value
    a, h = lam.compliance, lam.h
    out["thickness"] = h
    out["Ex"] = 1.0 / (h * a[0][0])
    out["Ey"] = 1.0 / (h * a[1][1])
    out["Gxy"] = 1.0 / (h * a[2][2])
    out["nuxy"] = -a[0][1] / a[0][0]
    out["nuyx"] = -a[0][1] / a[1][1]
    out["Efx"] = 12.0 / (h ** 3 * a[3][3])
    out["Efy"] = 12.0 / (h ** 3 * a[4][4])
    out["Gfxy"] = 12.0 / (h ** 3 * a[5][5])
    if relaxation_time is not None and rows:
        for n, (time, creep) in enumerate(lam.creep_sweep(loads, relaxation_time, rows), 1):
            out[f"relaxation[{n}].time"] = time
            for name, value in zip(DEFORMATION_NAMES, creep):
                out[f"relaxation[{n}].{name}"] = value
    return out, lam


DEFORMATION_NAMES = ("eps-xx", "eps-yy", "eps-xy", "kappa-xx", "kappa-yy", "kappa-xy")
