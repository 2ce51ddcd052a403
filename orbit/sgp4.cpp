#include "sgp4.h"

#include <cmath>

// Written from Hoots & Roehrich, Spacetrack Report #3 (1980), with the changes of
// Vallado, Crawford, Hujsak & Kelso, "Revisiting Spacetrack Report #3" (2006):
// WGS-72 constants, the improved ("i") operation mode. Names of terms follow
// those papers so each line can be checked against them.

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kX2o3 = 2.0 / 3.0;
constexpr double kMinutesPerDay = 1440.0;
// Minutes a day per radian: converts revolutions a day into radians a minute.
constexpr double kXpdotp = kMinutesPerDay / kTwoPi;

// WGS-72, which the element sets are fitted with.
constexpr double kMu = 398600.8;            // km³/s²
constexpr double kRadiusEarthKm = 6378.135; // km
const double kXke = 60.0 / std::sqrt(kRadiusEarthKm * kRadiusEarthKm * kRadiusEarthKm / kMu);
constexpr double kJ2 = 0.001082616;
constexpr double kJ3 = -0.00000253881;
constexpr double kJ4 = -0.00000165597;
constexpr double kJ3oJ2 = kJ3 / kJ2;

// Beyond this the deep-space integrator would take too many steps, and no set of
// elements means anything there anyway.
constexpr double kMaxMinutes = 1e9;

// Greenwich mean sidereal time (IAU 1982) in radians for a UT1 Julian date.
double Gstime(double jdut1) {
    const double tut1 = (jdut1 - 2451545.0) / 36525.0;
    double temp = -6.2e-6 * tut1 * tut1 * tut1 + 0.093104 * tut1 * tut1 +
                  (876600.0 * 3600 + 8640184.812866) * tut1 + 67310.54841; // seconds
    temp = std::fmod(temp * kDegToRad / 240.0, kTwoPi);                    // 240 s of time a degree
    if (temp < 0.0)
        temp += kTwoPi;
    return temp;
}

// The propagator's terms; Sgp4::State is this, so the functions below can take it.
struct Terms {
    OrbitalElements elements;
    int error = 0;
    bool deepSpace = false; // method 'd'
    bool isimp = false;     // perigee below 220 km (and all deep-space orbits): drop the higher drag terms

    // Mean elements at epoch, in radians and radians a minute; no is un-Kozai'd.
    double bstar = 0, ecco = 0, argpo = 0, inclo = 0, mo = 0, no = 0, nodeo = 0;

    // Near-earth terms.
    double aycof = 0, con41 = 0, cc1 = 0, cc4 = 0, cc5 = 0, d2 = 0, d3 = 0, d4 = 0, delmo = 0, eta = 0;
    double argpdot = 0, omgcof = 0, sinmao = 0, t2cof = 0, t3cof = 0, t4cof = 0, t5cof = 0;
    double x1mth2 = 0, x7thm1 = 0, mdot = 0, nodedot = 0, xlcof = 0, xmcof = 0, nodecf = 0;

    // Deep-space terms.
    int irez = 0; // 0 none, 1 one-day (synchronous) resonance, 2 half-day resonance
    double d2201 = 0, d2211 = 0, d3210 = 0, d3222 = 0, d4410 = 0, d4422 = 0, d5220 = 0, d5232 = 0;
    double d5421 = 0, d5433 = 0, dedt = 0, del1 = 0, del2 = 0, del3 = 0, didt = 0, dmdt = 0;
    double dnodt = 0, domdt = 0, e3 = 0, ee2 = 0, peo = 0, pgho = 0, pho = 0, pinco = 0, plo = 0;
    double se2 = 0, se3 = 0, sgh2 = 0, sgh3 = 0, sgh4 = 0, sh2 = 0, sh3 = 0, si2 = 0, si3 = 0;
    double sl2 = 0, sl3 = 0, sl4 = 0, gsto = 0, xfact = 0, xgh2 = 0, xgh3 = 0, xgh4 = 0, xh2 = 0;
    double xh3 = 0, xi2 = 0, xi3 = 0, xl2 = 0, xl3 = 0, xl4 = 0, xlamo = 0, zmol = 0, zmos = 0;
    // The resonance integrator's state, carried from one call to the next.
    double atime = 0, xli = 0, xni = 0;
};

using State = Terms;

// Lunar-solar terms that depend on the epoch and the orbit (dscom).
struct Dscom {
    double snodm, cnodm, sinim, cosim, sinomm, cosomm, day, em, emsq, gam, rtemsq;
    double s1, s2, s3, s4, s5, s6, s7, ss1, ss2, ss3, ss4, ss5, ss6, ss7;
    double sz1, sz2, sz3, sz11, sz12, sz13, sz21, sz22, sz23, sz31, sz32, sz33;
    double nm, z1, z2, z3, z11, z12, z13, z21, z22, z23, z31, z32, z33;
};

void RunDscom(double epoch, double ep, double argpp, double tc, double inclp, double nodep, double np,
              State &s, Dscom &d) {
    constexpr double zes = 0.01675, zel = 0.05490;
    constexpr double c1ss = 2.9864797e-6, c1l = 4.7968065e-7;
    constexpr double zsinis = 0.39785416, zcosis = 0.91744867;
    constexpr double zcosgs = 0.1945905, zsings = -0.98088458;

    d.nm = np;
    d.em = ep;
    d.snodm = std::sin(nodep);
    d.cnodm = std::cos(nodep);
    d.sinomm = std::sin(argpp);
    d.cosomm = std::cos(argpp);
    d.sinim = std::sin(inclp);
    d.cosim = std::cos(inclp);
    d.emsq = d.em * d.em;
    const double betasq = 1.0 - d.emsq;
    d.rtemsq = std::sqrt(betasq);

    // The periodics at epoch are not taken off later (the 2006 code keeps them at 0).
    s.peo = s.pinco = s.plo = s.pgho = s.pho = 0.0;

    d.day = epoch + 18261.5 + tc / 1440.0; // days from 1900 January 0.5
    const double xnodce = std::fmod(4.5236020 - 9.2422029e-4 * d.day, kTwoPi);
    const double stem = std::sin(xnodce);
    const double ctem = std::cos(xnodce);
    const double zcosil = 0.91375164 - 0.03568096 * ctem;
    const double zsinil = std::sqrt(1.0 - zcosil * zcosil);
    const double zsinhl = 0.089683511 * stem / zsinil;
    const double zcoshl = std::sqrt(1.0 - zsinhl * zsinhl);
    d.gam = 5.8351514 + 0.0019443680 * d.day;
    double zx = 0.39785416 * stem / zsinil;
    const double zy = zcoshl * ctem + 0.91744867 * zsinhl * stem;
    zx = std::atan2(zx, zy);
    zx = d.gam + zx - xnodce;
    const double zcosgl = std::cos(zx);
    const double zsingl = std::sin(zx);

    // First the Sun's terms, then the Moon's.
    double zcosg = zcosgs, zsing = zsings, zcosi = zcosis, zsini = zsinis;
    double zcosh = d.cnodm, zsinh = d.snodm, cc = c1ss;
    const double xnoi = 1.0 / d.nm;
    for (int lsflg = 1; lsflg <= 2; ++lsflg) {
        const double a1 = zcosg * zcosh + zsing * zcosi * zsinh;
        const double a3 = -zsing * zcosh + zcosg * zcosi * zsinh;
        const double a7 = -zcosg * zsinh + zsing * zcosi * zcosh;
        const double a8 = zsing * zsini;
        const double a9 = zsing * zsinh + zcosg * zcosi * zcosh;
        const double a10 = zcosg * zsini;
        const double a2 = d.cosim * a7 + d.sinim * a8;
        const double a4 = d.cosim * a9 + d.sinim * a10;
        const double a5 = -d.sinim * a7 + d.cosim * a8;
        const double a6 = -d.sinim * a9 + d.cosim * a10;

        const double x1 = a1 * d.cosomm + a2 * d.sinomm;
        const double x2 = a3 * d.cosomm + a4 * d.sinomm;
        const double x3 = -a1 * d.sinomm + a2 * d.cosomm;
        const double x4 = -a3 * d.sinomm + a4 * d.cosomm;
        const double x5 = a5 * d.sinomm;
        const double x6 = a6 * d.sinomm;
        const double x7 = a5 * d.cosomm;
        const double x8 = a6 * d.cosomm;

        d.z31 = 12.0 * x1 * x1 - 3.0 * x3 * x3;
        d.z32 = 24.0 * x1 * x2 - 6.0 * x3 * x4;
        d.z33 = 12.0 * x2 * x2 - 3.0 * x4 * x4;
        d.z1 = 3.0 * (a1 * a1 + a2 * a2) + d.z31 * d.emsq;
        d.z2 = 6.0 * (a1 * a3 + a2 * a4) + d.z32 * d.emsq;
        d.z3 = 3.0 * (a3 * a3 + a4 * a4) + d.z33 * d.emsq;
        d.z11 = -6.0 * a1 * a5 + d.emsq * (-24.0 * x1 * x7 - 6.0 * x3 * x5);
        d.z12 =
            -6.0 * (a1 * a6 + a3 * a5) + d.emsq * (-24.0 * (x2 * x7 + x1 * x8) - 6.0 * (x3 * x6 + x4 * x5));
        d.z13 = -6.0 * a3 * a6 + d.emsq * (-24.0 * x2 * x8 - 6.0 * x4 * x6);
        d.z21 = 6.0 * a2 * a5 + d.emsq * (24.0 * x1 * x5 - 6.0 * x3 * x7);
        d.z22 = 6.0 * (a4 * a5 + a2 * a6) + d.emsq * (24.0 * (x2 * x5 + x1 * x6) - 6.0 * (x4 * x7 + x3 * x8));
        d.z23 = 6.0 * a4 * a6 + d.emsq * (24.0 * x2 * x6 - 6.0 * x4 * x8);
        d.z1 = d.z1 + d.z1 + betasq * d.z31;
        d.z2 = d.z2 + d.z2 + betasq * d.z32;
        d.z3 = d.z3 + d.z3 + betasq * d.z33;
        d.s3 = cc * xnoi;
        d.s2 = -0.5 * d.s3 / d.rtemsq;
        d.s4 = d.s3 * d.rtemsq;
        d.s1 = -15.0 * d.em * d.s4;
        d.s5 = x1 * x3 + x2 * x4;
        d.s6 = x2 * x3 + x1 * x4;
        d.s7 = x2 * x4 - x1 * x3;

        if (lsflg == 1) {
            d.ss1 = d.s1;
            d.ss2 = d.s2;
            d.ss3 = d.s3;
            d.ss4 = d.s4;
            d.ss5 = d.s5;
            d.ss6 = d.s6;
            d.ss7 = d.s7;
            d.sz1 = d.z1;
            d.sz2 = d.z2;
            d.sz3 = d.z3;
            d.sz11 = d.z11;
            d.sz12 = d.z12;
            d.sz13 = d.z13;
            d.sz21 = d.z21;
            d.sz22 = d.z22;
            d.sz23 = d.z23;
            d.sz31 = d.z31;
            d.sz32 = d.z32;
            d.sz33 = d.z33;
            zcosg = zcosgl;
            zsing = zsingl;
            zcosi = zcosil;
            zsini = zsinil;
            zcosh = zcoshl * d.cnodm + zsinhl * d.snodm;
            zsinh = d.snodm * zcoshl - d.cnodm * zsinhl;
            cc = c1l;
        }
    }

    s.zmol = std::fmod(4.7199672 + 0.22997150 * d.day - d.gam, kTwoPi);
    s.zmos = std::fmod(6.2565837 + 0.017201977 * d.day, kTwoPi);

    // Solar terms.
    s.se2 = 2.0 * d.ss1 * d.ss6;
    s.se3 = 2.0 * d.ss1 * d.ss7;
    s.si2 = 2.0 * d.ss2 * d.sz12;
    s.si3 = 2.0 * d.ss2 * (d.sz13 - d.sz11);
    s.sl2 = -2.0 * d.ss3 * d.sz2;
    s.sl3 = -2.0 * d.ss3 * (d.sz3 - d.sz1);
    s.sl4 = -2.0 * d.ss3 * (-21.0 - 9.0 * d.emsq) * zes;
    s.sgh2 = 2.0 * d.ss4 * d.sz32;
    s.sgh3 = 2.0 * d.ss4 * (d.sz33 - d.sz31);
    s.sgh4 = -18.0 * d.ss4 * zes;
    s.sh2 = -2.0 * d.ss2 * d.sz22;
    s.sh3 = -2.0 * d.ss2 * (d.sz23 - d.sz21);

    // Lunar terms.
    s.ee2 = 2.0 * d.s1 * d.s6;
    s.e3 = 2.0 * d.s1 * d.s7;
    s.xi2 = 2.0 * d.s2 * d.z12;
    s.xi3 = 2.0 * d.s2 * (d.z13 - d.z11);
    s.xl2 = -2.0 * d.s3 * d.z2;
    s.xl3 = -2.0 * d.s3 * (d.z3 - d.z1);
    s.xl4 = -2.0 * d.s3 * (-21.0 - 9.0 * d.emsq) * zel;
    s.xgh2 = 2.0 * d.s4 * d.z32;
    s.xgh3 = 2.0 * d.s4 * (d.z33 - d.z31);
    s.xgh4 = -18.0 * d.s4 * zel;
    s.xh2 = -2.0 * d.s2 * d.z22;
    s.xh3 = -2.0 * d.s2 * (d.z23 - d.z21);
}

// Lunar-solar periodics at time t (dpper), applied to the elements. Only called
// while propagating: at epoch it would change nothing, since peo..pho are 0 and
// the 2006 code applies nothing during initialisation.
void Dpper(const State &s, double t, double &ep, double &inclp, double &nodep, double &argpp, double &mp) {
    constexpr double zns = 1.19459e-5, zes = 0.01675, znl = 1.5835218e-4, zel = 0.05490;

    double zm = s.zmos + zns * t;
    double zf = zm + 2.0 * zes * std::sin(zm);
    double sinzf = std::sin(zf);
    double f2 = 0.5 * sinzf * sinzf - 0.25;
    double f3 = -0.5 * sinzf * std::cos(zf);
    const double ses = s.se2 * f2 + s.se3 * f3;
    const double sis = s.si2 * f2 + s.si3 * f3;
    const double sls = s.sl2 * f2 + s.sl3 * f3 + s.sl4 * sinzf;
    const double sghs = s.sgh2 * f2 + s.sgh3 * f3 + s.sgh4 * sinzf;
    const double shs = s.sh2 * f2 + s.sh3 * f3;

    zm = s.zmol + znl * t;
    zf = zm + 2.0 * zel * std::sin(zm);
    sinzf = std::sin(zf);
    f2 = 0.5 * sinzf * sinzf - 0.25;
    f3 = -0.5 * sinzf * std::cos(zf);
    const double sel = s.ee2 * f2 + s.e3 * f3;
    const double sil = s.xi2 * f2 + s.xi3 * f3;
    const double sll = s.xl2 * f2 + s.xl3 * f3 + s.xl4 * sinzf;
    const double sghl = s.xgh2 * f2 + s.xgh3 * f3 + s.xgh4 * sinzf;
    const double shll = s.xh2 * f2 + s.xh3 * f3;

    const double pe = ses + sel - s.peo;
    const double pinc = sis + sil - s.pinco;
    const double pl = sls + sll - s.plo;
    double pgh = sghs + sghl - s.pgho;
    double ph = shs + shll - s.pho;

    inclp = inclp + pinc;
    ep = ep + pe;
    const double sinip = std::sin(inclp);
    const double cosip = std::cos(inclp);

    // Lyddane's choice: at low inclination the periodics go on through the
    // non-singular variables. The test is on the perturbed inclination, as
    // GSFC does it (the 2006 choice).
    if (inclp >= 0.2) {
        ph = ph / sinip;
        pgh = pgh - cosip * ph;
        argpp = argpp + pgh;
        nodep = nodep + ph;
        mp = mp + pl;
    } else {
        const double sinop = std::sin(nodep);
        const double cosop = std::cos(nodep);
        double alfdp = sinip * sinop;
        double betdp = sinip * cosop;
        const double dalf = ph * cosop + pinc * cosip * sinop;
        const double dbet = -ph * sinop + pinc * cosip * cosop;
        alfdp = alfdp + dalf;
        betdp = betdp + dbet;
        nodep = std::fmod(nodep, kTwoPi);
        double xls = mp + argpp + cosip * nodep;
        const double dls = pl + pgh - pinc * nodep * sinip;
        xls = xls + dls;
        const double xnoh = nodep;
        nodep = std::atan2(alfdp, betdp);
        // Keep the node on the same turn as before the atan2.
        if (std::fabs(xnoh - nodep) > kPi) {
            if (nodep < xnoh)
                nodep = nodep + kTwoPi;
            else
                nodep = nodep - kTwoPi;
        }
        mp = mp + pl;
        argpp = xls - mp - cosip * nodep;
    }
}

// Deep-space secular rates and the resonance terms (dsinit), at tc = 0.
void Dsinit(const Dscom &d, double xpidot, double eccsq, State &s) {
    constexpr double q22 = 1.7891679e-6, q31 = 2.1460748e-6, q33 = 2.2123015e-7;
    constexpr double root22 = 1.7891679e-6, root44 = 7.3636953e-9, root54 = 2.1765803e-9;
    constexpr double rptim = 4.37526908801129966e-3; // the Earth's rotation, radians a minute
    constexpr double root32 = 3.7393792e-7, root52 = 1.1428639e-7;
    constexpr double znl = 1.5835218e-4, zns = 1.19459e-5;

    const double nm = d.nm;
    double em = d.em;
    double emsq = d.emsq;
    const double sinim = d.sinim, cosim = d.cosim;
    const double inclm = s.inclo;

    s.irez = 0;
    if (nm < 0.0052359877 && nm > 0.0034906585)
        s.irez = 1;
    if (nm >= 8.26e-3 && nm <= 9.24e-3 && em >= 0.5)
        s.irez = 2;

    // Solar secular terms.
    const double ses = d.ss1 * zns * d.ss5;
    const double sis = d.ss2 * zns * (d.sz11 + d.sz13);
    const double sls = -zns * d.ss3 * (d.sz1 + d.sz3 - 14.0 - 6.0 * emsq);
    const double sghs = d.ss4 * zns * (d.sz31 + d.sz33 - 6.0);
    double shs = -zns * d.ss2 * (d.sz21 + d.sz23);
    // Near 0 or 180 degrees the node is not defined; its rate is left out.
    if (inclm < 5.2359877e-2 || inclm > kPi - 5.2359877e-2)
        shs = 0.0;
    if (sinim != 0.0)
        shs = shs / sinim;
    const double sgs = sghs - cosim * shs;

    // Lunar secular terms.
    s.dedt = ses + d.s1 * znl * d.s5;
    s.didt = sis + d.s2 * znl * (d.z11 + d.z13);
    s.dmdt = sls - znl * d.s3 * (d.z1 + d.z3 - 14.0 - 6.0 * emsq);
    const double sghl = d.s4 * znl * (d.z31 + d.z33 - 6.0);
    double shll = -znl * d.s2 * (d.z21 + d.z23);
    if (inclm < 5.2359877e-2 || inclm > kPi - 5.2359877e-2)
        shll = 0.0;
    s.domdt = sgs + sghl;
    s.dnodt = shs;
    if (sinim != 0.0) {
        s.domdt = s.domdt - cosim / sinim * shll;
        s.dnodt = s.dnodt + shll / sinim;
    }

    // Resonance terms. The time here is 0, so the secular rates move nothing yet.
    const double theta = std::fmod(s.gsto, kTwoPi);
    if (s.irez == 0)
        return;
    const double aonv = std::pow(nm / kXke, kX2o3);

    if (s.irez == 2) { // half-day orbits of high eccentricity (Molniya and the like)
        const double cosisq = cosim * cosim;
        em = s.ecco;
        emsq = eccsq;
        const double eoc = em * emsq;
        const double g201 = -0.306 - (em - 0.64) * 0.440;
        double g211, g310, g322, g410, g422, g520, g521, g532, g533;
        if (em <= 0.65) {
            g211 = 3.616 - 13.2470 * em + 16.2900 * emsq;
            g310 = -19.302 + 117.3900 * em - 228.4190 * emsq + 156.5910 * eoc;
            g322 = -18.9068 + 109.7927 * em - 214.6334 * emsq + 146.5816 * eoc;
            g410 = -41.122 + 242.6940 * em - 471.0940 * emsq + 313.9530 * eoc;
            g422 = -146.407 + 841.8800 * em - 1629.014 * emsq + 1083.4350 * eoc;
            g520 = -532.114 + 3017.977 * em - 5740.032 * emsq + 3708.2760 * eoc;
        } else {
            g211 = -72.099 + 331.819 * em - 508.738 * emsq + 266.724 * eoc;
            g310 = -346.844 + 1582.851 * em - 2415.925 * emsq + 1246.113 * eoc;
            g322 = -342.585 + 1554.908 * em - 2366.899 * emsq + 1215.972 * eoc;
            g410 = -1052.797 + 4758.686 * em - 7193.992 * emsq + 3651.957 * eoc;
            g422 = -3581.690 + 16178.110 * em - 24462.770 * emsq + 12422.520 * eoc;
            if (em > 0.715)
                g520 = -5149.66 + 29936.92 * em - 54087.36 * emsq + 31324.56 * eoc;
            else
                g520 = 1464.74 - 4664.75 * em + 3763.64 * emsq;
        }
        if (em < 0.7) {
            g533 = -919.22770 + 4988.6100 * em - 9064.7700 * emsq + 5542.21 * eoc;
            g521 = -822.71072 + 4568.6173 * em - 8491.4146 * emsq + 5337.524 * eoc;
            g532 = -853.66600 + 4690.2500 * em - 8624.7700 * emsq + 5341.4 * eoc;
        } else {
            g533 = -37995.780 + 161616.52 * em - 229838.20 * emsq + 109377.94 * eoc;
            g521 = -51752.104 + 218913.95 * em - 309468.16 * emsq + 146349.42 * eoc;
            g532 = -40023.880 + 170470.89 * em - 242699.48 * emsq + 115605.82 * eoc;
        }

        const double sini2 = sinim * sinim;
        const double f220 = 0.75 * (1.0 + 2.0 * cosim + cosisq);
        const double f221 = 1.5 * sini2;
        const double f321 = 1.875 * sinim * (1.0 - 2.0 * cosim - 3.0 * cosisq);
        const double f322 = -1.875 * sinim * (1.0 + 2.0 * cosim - 3.0 * cosisq);
        const double f441 = 35.0 * sini2 * f220;
        const double f442 = 39.3750 * sini2 * sini2;
        const double f522 =
            9.84375 * sinim *
            (sini2 * (1.0 - 2.0 * cosim - 5.0 * cosisq) + 0.33333333 * (-2.0 + 4.0 * cosim + 6.0 * cosisq));
        const double f523 = sinim * (4.92187512 * sini2 * (-2.0 - 4.0 * cosim + 10.0 * cosisq) +
                                     6.56250012 * (1.0 + 2.0 * cosim - 3.0 * cosisq));
        const double f542 =
            29.53125 * sinim * (2.0 - 8.0 * cosim + cosisq * (-12.0 + 8.0 * cosim + 10.0 * cosisq));
        const double f543 =
            29.53125 * sinim * (-2.0 - 8.0 * cosim + cosisq * (12.0 + 8.0 * cosim - 10.0 * cosisq));

        const double xno2 = nm * nm;
        const double ainv2 = aonv * aonv;
        double temp1 = 3.0 * xno2 * ainv2;
        double temp = temp1 * root22;
        s.d2201 = temp * f220 * g201;
        s.d2211 = temp * f221 * g211;
        temp1 = temp1 * aonv;
        temp = temp1 * root32;
        s.d3210 = temp * f321 * g310;
        s.d3222 = temp * f322 * g322;
        temp1 = temp1 * aonv;
        temp = 2.0 * temp1 * root44;
        s.d4410 = temp * f441 * g410;
        s.d4422 = temp * f442 * g422;
        temp1 = temp1 * aonv;
        temp = temp1 * root52;
        s.d5220 = temp * f522 * g520;
        s.d5232 = temp * f523 * g532;
        temp = 2.0 * temp1 * root54;
        s.d5421 = temp * f542 * g521;
        s.d5433 = temp * f543 * g533;
        s.xlamo = std::fmod(s.mo + s.nodeo + s.nodeo - theta - theta, kTwoPi);
        s.xfact = s.mdot + s.dmdt + 2.0 * (s.nodedot + s.dnodt - rptim) - s.no;
    } else { // one-day orbits (geosynchronous)
        const double g200 = 1.0 + emsq * (-2.5 + 0.8125 * emsq);
        const double g310 = 1.0 + 2.0 * emsq;
        const double g300 = 1.0 + emsq * (-6.0 + 6.60937 * emsq);
        const double f220 = 0.75 * (1.0 + cosim) * (1.0 + cosim);
        const double f311 = 0.9375 * sinim * sinim * (1.0 + 3.0 * cosim) - 0.75 * (1.0 + cosim);
        double f330 = 1.0 + cosim;
        f330 = 1.875 * f330 * f330 * f330;
        s.del1 = 3.0 * nm * nm * aonv * aonv;
        s.del2 = 2.0 * s.del1 * f220 * g200 * q22;
        s.del3 = 3.0 * s.del1 * f330 * g300 * q33 * aonv;
        s.del1 = s.del1 * f311 * g310 * q31 * aonv;
        s.xlamo = std::fmod(s.mo + s.nodeo + s.argpo - theta, kTwoPi);
        s.xfact = s.mdot + xpidot - rptim + s.dmdt + s.domdt + s.dnodt - s.no;
    }
    // The integrator starts at epoch.
    s.xli = s.xlamo;
    s.xni = s.no;
    s.atime = 0.0;
}

// Deep-space secular effects and resonance at time t (dspace).
void Dspace(State &s, double t, double &em, double &argpm, double &inclm, double &mm, double &nodem,
            double &nm) {
    constexpr double fasx2 = 0.13130908, fasx4 = 2.8843198, fasx6 = 0.37448087;
    constexpr double g22 = 5.7686396, g32 = 0.95240898, g44 = 1.8014998, g52 = 1.0508330, g54 = 4.4108898;
    constexpr double rptim = 4.37526908801129966e-3;
    constexpr double stepp = 720.0, stepn = -720.0, step2 = 259200.0;

    const double theta = std::fmod(s.gsto + t * rptim, kTwoPi);
    em = em + s.dedt * t;
    inclm = inclm + s.didt * t;
    argpm = argpm + s.domdt * t;
    nodem = nodem + s.dnodt * t;
    mm = mm + s.dmdt * t;

    if (s.irez == 0)
        return;

    // The integrator goes on from where it stopped last unless t lies on the other
    // side of the epoch or nearer to it; then it starts again at epoch.
    if (s.atime == 0.0 || t * s.atime <= 0.0 || std::fabs(t) < std::fabs(s.atime)) {
        s.atime = 0.0;
        s.xni = s.no;
        s.xli = s.xlamo;
    }
    const double delt = t > 0.0 ? stepp : stepn;

    double xndt = 0, xldot = 0, xnddt = 0, ft = 0;
    for (;;) {
        if (s.irez != 2) {
            xndt = s.del1 * std::sin(s.xli - fasx2) + s.del2 * std::sin(2.0 * (s.xli - fasx4)) +
                   s.del3 * std::sin(3.0 * (s.xli - fasx6));
            xldot = s.xni + s.xfact;
            xnddt = s.del1 * std::cos(s.xli - fasx2) + 2.0 * s.del2 * std::cos(2.0 * (s.xli - fasx4)) +
                    3.0 * s.del3 * std::cos(3.0 * (s.xli - fasx6));
            xnddt = xnddt * xldot;
        } else {
            const double xomi = s.argpo + s.argpdot * s.atime;
            const double x2omi = xomi + xomi;
            const double x2li = s.xli + s.xli;
            xndt = s.d2201 * std::sin(x2omi + s.xli - g22) + s.d2211 * std::sin(s.xli - g22) +
                   s.d3210 * std::sin(xomi + s.xli - g32) + s.d3222 * std::sin(-xomi + s.xli - g32) +
                   s.d4410 * std::sin(x2omi + x2li - g44) + s.d4422 * std::sin(x2li - g44) +
                   s.d5220 * std::sin(xomi + s.xli - g52) + s.d5232 * std::sin(-xomi + s.xli - g52) +
                   s.d5421 * std::sin(xomi + x2li - g54) + s.d5433 * std::sin(-xomi + x2li - g54);
            xldot = s.xni + s.xfact;
            xnddt = s.d2201 * std::cos(x2omi + s.xli - g22) + s.d2211 * std::cos(s.xli - g22) +
                    s.d3210 * std::cos(xomi + s.xli - g32) + s.d3222 * std::cos(-xomi + s.xli - g32) +
                    s.d5220 * std::cos(xomi + s.xli - g52) + s.d5232 * std::cos(-xomi + s.xli - g52) +
                    2.0 * (s.d4410 * std::cos(x2omi + x2li - g44) + s.d4422 * std::cos(x2li - g44) +
                           s.d5421 * std::cos(xomi + x2li - g54) + s.d5433 * std::cos(-xomi + x2li - g54));
            xnddt = xnddt * xldot;
        }
        if (std::fabs(t - s.atime) < stepp) {
            ft = t - s.atime;
            break;
        }
        s.xli = s.xli + xldot * delt + xndt * step2;
        s.xni = s.xni + xndt * delt + xnddt * step2;
        s.atime = s.atime + delt;
    }

    nm = s.xni + xndt * ft + xnddt * ft * ft * 0.5;
    const double xl = s.xli + xldot * ft + xndt * ft * ft * 0.5;
    if (s.irez != 1)
        mm = xl - 2.0 * nodem + 2.0 * theta;
    else
        mm = xl - nodem - argpm + theta;
}

int Propagate(State &s, double t, double r[3], double v[3]) {
    constexpr double temp4 = 1.5e-12;
    const double vkmpersec = kRadiusEarthKm * kXke / 60.0;

    // Secular gravity and atmospheric drag.
    const double xmdf = s.mo + s.mdot * t;
    const double argpdf = s.argpo + s.argpdot * t;
    const double nodedf = s.nodeo + s.nodedot * t;
    double argpm = argpdf;
    double mm = xmdf;
    const double t2 = t * t;
    double nodem = nodedf + s.nodecf * t2;
    double tempa = 1.0 - s.cc1 * t;
    double tempe = s.bstar * s.cc4 * t;
    double templ = s.t2cof * t2;

    if (!s.isimp) {
        const double delomg = s.omgcof * t;
        const double delmtemp = 1.0 + s.eta * std::cos(xmdf);
        const double delm = s.xmcof * (delmtemp * delmtemp * delmtemp - s.delmo);
        const double temp = delomg + delm;
        mm = xmdf + temp;
        argpm = argpdf - temp;
        const double t3 = t2 * t;
        const double t4 = t3 * t;
        tempa = tempa - s.d2 * t2 - s.d3 * t3 - s.d4 * t4;
        tempe = tempe + s.bstar * s.cc5 * (std::sin(mm) - s.sinmao);
        templ = templ + s.t3cof * t3 + t4 * (s.t4cof + t * s.t5cof);
    }

    double nm = s.no;
    double em = s.ecco;
    double inclm = s.inclo;
    if (s.deepSpace)
        Dspace(s, t, em, argpm, inclm, mm, nodem, nm);

    if (nm <= 0.0)
        return 2;
    const double am = std::pow(kXke / nm, kX2o3) * tempa * tempa;
    nm = kXke / std::pow(am, 1.5);
    em = em - tempe;

    if (em >= 1.0 || em < -0.001 || am < 0.95)
        return 1;
    if (em < 1.0e-6) // keeps the divisions below away from 0
        em = 1.0e-6;
    mm = mm + s.no * templ;
    double xlm = mm + argpm + nodem;
    nodem = std::fmod(nodem, kTwoPi);
    argpm = std::fmod(argpm, kTwoPi);
    xlm = std::fmod(xlm, kTwoPi);
    mm = std::fmod(xlm - argpm - nodem, kTwoPi);

    // Lunar-solar periodics.
    double ep = em;
    double xincp = inclm;
    double argpp = argpm;
    double nodep = nodem;
    double mp = mm;
    double sinip = std::sin(inclm);
    double cosip = std::cos(inclm);
    double aycof = s.aycof, xlcof = s.xlcof, con41 = s.con41, x1mth2 = s.x1mth2, x7thm1 = s.x7thm1;
    if (s.deepSpace) {
        Dpper(s, t, ep, xincp, nodep, argpp, mp);
        if (xincp < 0.0) {
            xincp = -xincp;
            nodep = nodep + kPi;
            argpp = argpp - kPi;
        }
        if (ep < 0.0 || ep > 1.0)
            return 3;

        // The long- and short-period terms take the perturbed inclination.
        sinip = std::sin(xincp);
        cosip = std::cos(xincp);
        aycof = -0.5 * kJ3oJ2 * sinip;
        xlcof = -0.25 * kJ3oJ2 * sinip * (3.0 + 5.0 * cosip) /
                (std::fabs(cosip + 1.0) > 1.5e-12 ? 1.0 + cosip : temp4);
    }

    // Long-period periodics.
    const double axnl = ep * std::cos(argpp);
    double temp = 1.0 / (am * (1.0 - ep * ep));
    const double aynl = ep * std::sin(argpp) + temp * aycof;
    const double xl = mp + argpp + nodep + temp * xlcof * axnl;

    // Kepler's equation in the non-singular variables, at most ten steps, each
    // step held to 0.95 radians.
    const double u = std::fmod(xl - nodep, kTwoPi);
    double eo1 = u;
    double tem5 = 9999.9;
    double sineo1 = 0, coseo1 = 0;
    for (int ktr = 1; std::fabs(tem5) >= 1.0e-12 && ktr <= 10; ++ktr) {
        sineo1 = std::sin(eo1);
        coseo1 = std::cos(eo1);
        tem5 = 1.0 - coseo1 * axnl - sineo1 * aynl;
        tem5 = (u - aynl * coseo1 + axnl * sineo1 - eo1) / tem5;
        if (std::fabs(tem5) >= 0.95)
            tem5 = tem5 > 0.0 ? 0.95 : -0.95;
        eo1 = eo1 + tem5;
    }

    // Short-period preliminary quantities.
    const double ecose = axnl * coseo1 + aynl * sineo1;
    const double esine = axnl * sineo1 - aynl * coseo1;
    const double el2 = axnl * axnl + aynl * aynl;
    const double pl = am * (1.0 - el2);
    if (pl < 0.0)
        return 4;

    const double rl = am * (1.0 - ecose);
    const double rdotl = std::sqrt(am) * esine / rl;
    const double rvdotl = std::sqrt(pl) / rl;
    const double betal = std::sqrt(1.0 - el2);
    temp = esine / (1.0 + betal);
    const double sinu = am / rl * (sineo1 - aynl - axnl * temp);
    const double cosu = am / rl * (coseo1 - axnl + aynl * temp);
    double su = std::atan2(sinu, cosu);
    const double sin2u = (cosu + cosu) * sinu;
    const double cos2u = 1.0 - 2.0 * sinu * sinu;
    temp = 1.0 / pl;
    const double temp1 = 0.5 * kJ2 * temp;
    const double temp2 = temp1 * temp;

    if (s.deepSpace) {
        const double cosisq = cosip * cosip;
        con41 = 3.0 * cosisq - 1.0;
        x1mth2 = 1.0 - cosisq;
        x7thm1 = 7.0 * cosisq - 1.0;
    }

    // Short-period periodics.
    const double mrt = rl * (1.0 - 1.5 * temp2 * betal * con41) + 0.5 * temp1 * x1mth2 * cos2u;
    su = su - 0.25 * temp2 * x7thm1 * sin2u;
    const double xnode = nodep + 1.5 * temp2 * cosip * sin2u;
    const double xinc = xincp + 1.5 * temp2 * cosip * sinip * cos2u;
    const double mvt = rdotl - nm * temp1 * x1mth2 * sin2u / kXke;
    const double rvdot = rvdotl + nm * temp1 * (x1mth2 * cos2u + 1.5 * con41) / kXke;

    // Orientation vectors.
    const double sinsu = std::sin(su);
    const double cossu = std::cos(su);
    const double snod = std::sin(xnode);
    const double cnod = std::cos(xnode);
    const double sini = std::sin(xinc);
    const double cosi = std::cos(xinc);
    const double xmx = -snod * cosi;
    const double xmy = cnod * cosi;
    const double ux = xmx * sinsu + cnod * cossu;
    const double uy = xmy * sinsu + snod * cossu;
    const double uz = sini * sinsu;
    const double vx = xmx * cossu - cnod * sinsu;
    const double vy = xmy * cossu - snod * sinsu;
    const double vz = sini * cossu;

    r[0] = mrt * ux * kRadiusEarthKm;
    r[1] = mrt * uy * kRadiusEarthKm;
    r[2] = mrt * uz * kRadiusEarthKm;
    v[0] = (mvt * ux + rvdot * vx) * vkmpersec;
    v[1] = (mvt * uy + rvdot * vy) * vkmpersec;
    v[2] = (mvt * uz + rvdot * vz) * vkmpersec;

    // Below the Earth's surface: decayed. The state is filled in all the same.
    if (mrt < 1.0)
        return 6;
    return 0;
}

} // namespace

struct Sgp4::State : Terms {};

bool Sgp4::Init(const OrbitalElements &elements) {
    m_state = std::make_shared<State>();
    State &s = *m_state;
    s.elements = elements;

    // Elements in radians and radians a minute (the mean motion still Kozai's here).
    s.bstar = elements.bstar;
    s.ecco = elements.eccentricity;
    s.argpo = elements.argPerigee * kDegToRad;
    s.inclo = elements.inclination * kDegToRad;
    s.mo = elements.meanAnomaly * kDegToRad;
    s.no = elements.meanMotion / kXpdotp;
    s.nodeo = elements.raan * kDegToRad;

    if (!(std::isfinite(s.no) && s.no > 0.0)) {
        s.error = 2;
        return false;
    }
    if (!(std::isfinite(s.ecco) && s.ecco >= 0.0 && s.ecco < 1.0) || !std::isfinite(s.bstar) ||
        !std::isfinite(s.argpo) || !std::isfinite(s.inclo) || !std::isfinite(s.mo) ||
        !std::isfinite(s.nodeo)) {
        s.error = 1;
        return false;
    }

    // Days from 1949 December 31, 0h UT. Taken from the Julian date as a double,
    // rounding and all, as the verification set was made: for orbits far out the
    // lunar-solar terms at epoch move the position by millimetres over a
    // microsecond of epoch.
    const double epoch = EpochJulianDate(elements) - 2433281.5;

    // initl: recover the Brouwer mean motion from the Kozai one the sets carry.
    const double eccsq = s.ecco * s.ecco;
    const double omeosq = 1.0 - eccsq;
    const double rteosq = std::sqrt(omeosq);
    const double cosio = std::cos(s.inclo);
    const double cosio2 = cosio * cosio;
    const double ak = std::pow(kXke / s.no, kX2o3);
    const double d1 = 0.75 * kJ2 * (3.0 * cosio2 - 1.0) / (rteosq * omeosq);
    double del = d1 / (ak * ak);
    const double adel = ak * (1.0 - del * del - del * (1.0 / 3.0 + 134.0 * del * del / 81.0));
    del = d1 / (adel * adel);
    s.no = s.no / (1.0 + del);

    const double ao = std::pow(kXke / s.no, kX2o3);
    const double sinio = std::sin(s.inclo);
    const double po = ao * omeosq;
    const double con42 = 1.0 - 5.0 * cosio2;
    s.con41 = -con42 - cosio2 - cosio2;
    const double posq = po * po;
    const double rp = ao * (1.0 - s.ecco);
    s.gsto = Gstime(epoch + 2433281.5);

    // A perigee below the surface is left to the decay check of each propagation
    // (error 6), as the 2006 revision does; so error 5 is never raised here.

    // sgp4init proper.
    const double ss = 78.0 / kRadiusEarthKm + 1.0;
    const double qzms2t = std::pow((120.0 - 78.0) / kRadiusEarthKm, 4);
    s.isimp = rp < (220.0 / kRadiusEarthKm + 1.0);
    double sfour = ss;
    double qzms24 = qzms2t;
    const double perige = (rp - 1.0) * kRadiusEarthKm;
    // Below 156 km the atmosphere's s parameter follows the perigee height.
    if (perige < 156.0) {
        sfour = perige - 78.0;
        if (perige < 98.0)
            sfour = 20.0;
        qzms24 = std::pow((120.0 - sfour) / kRadiusEarthKm, 4);
        sfour = sfour / kRadiusEarthKm + 1.0;
    }
    const double pinvsq = 1.0 / posq;
    const double tsi = 1.0 / (ao - sfour);
    s.eta = ao * s.ecco * tsi;
    const double etasq = s.eta * s.eta;
    const double eeta = s.ecco * s.eta;
    const double psisq = std::fabs(1.0 - etasq);
    const double coef = qzms24 * std::pow(tsi, 4);
    const double coef1 = coef / std::pow(psisq, 3.5);
    const double cc2 = coef1 * s.no *
                       (ao * (1.0 + 1.5 * etasq + eeta * (4.0 + etasq)) +
                        0.375 * kJ2 * tsi / psisq * s.con41 * (8.0 + 3.0 * etasq * (8.0 + etasq)));
    s.cc1 = s.bstar * cc2;
    double cc3 = 0.0;
    if (s.ecco > 1.0e-4)
        cc3 = -2.0 * coef * tsi * kJ3oJ2 * s.no * sinio / s.ecco;
    s.x1mth2 = 1.0 - cosio2;
    s.cc4 = 2.0 * s.no * coef1 * ao * omeosq *
            (s.eta * (2.0 + 0.5 * etasq) + s.ecco * (0.5 + 2.0 * etasq) -
             kJ2 * tsi / (ao * psisq) *
                 (-3.0 * s.con41 * (1.0 - 2.0 * eeta + etasq * (1.5 - 0.5 * eeta)) +
                  0.75 * s.x1mth2 * (2.0 * etasq - eeta * (1.0 + etasq)) * std::cos(2.0 * s.argpo)));
    s.cc5 = 2.0 * coef1 * ao * omeosq * (1.0 + 2.75 * (etasq + eeta) + eeta * etasq);
    const double cosio4 = cosio2 * cosio2;
    const double temp1 = 1.5 * kJ2 * pinvsq * s.no;
    const double temp2 = 0.5 * temp1 * kJ2 * pinvsq;
    const double temp3 = -0.46875 * kJ4 * pinvsq * pinvsq * s.no;
    s.mdot = s.no + 0.5 * temp1 * rteosq * s.con41 +
             0.0625 * temp2 * rteosq * (13.0 - 78.0 * cosio2 + 137.0 * cosio4);
    s.argpdot = -0.5 * temp1 * con42 + 0.0625 * temp2 * (7.0 - 114.0 * cosio2 + 395.0 * cosio4) +
                temp3 * (3.0 - 36.0 * cosio2 + 49.0 * cosio4);
    const double xhdot1 = -temp1 * cosio;
    s.nodedot = xhdot1 + (0.5 * temp2 * (4.0 - 19.0 * cosio2) + 2.0 * temp3 * (3.0 - 7.0 * cosio2)) * cosio;
    const double xpidot = s.argpdot + s.nodedot;
    s.omgcof = s.bstar * cc3 * std::cos(s.argpo);
    s.xmcof = 0.0;
    if (s.ecco > 1.0e-4)
        s.xmcof = -kX2o3 * coef * s.bstar / eeta;
    s.nodecf = 3.5 * omeosq * xhdot1 * s.cc1;
    s.t2cof = 1.5 * s.cc1;
    // At 180 degrees inclination 1 + cos i is 0; a small number stands in for it.
    s.xlcof = -0.25 * kJ3oJ2 * sinio * (3.0 + 5.0 * cosio) /
              (std::fabs(cosio + 1.0) > 1.5e-12 ? 1.0 + cosio : 1.5e-12);
    s.aycof = -0.5 * kJ3oJ2 * sinio;
    const double delmotemp = 1.0 + s.eta * std::cos(s.mo);
    s.delmo = delmotemp * delmotemp * delmotemp;
    s.sinmao = std::sin(s.mo);
    s.x7thm1 = 7.0 * cosio2 - 1.0;

    // Periods of 225 minutes or more: the Sun's and Moon's pull and the resonances.
    if (kTwoPi / s.no >= 225.0) {
        s.deepSpace = true;
        s.isimp = true;
        Dscom d{};
        RunDscom(epoch, s.ecco, s.argpo, 0.0, s.inclo, s.nodeo, s.no, s, d);
        Dsinit(d, xpidot, eccsq, s);
    }

    if (!s.isimp) {
        const double cc1sq = s.cc1 * s.cc1;
        s.d2 = 4.0 * ao * tsi * cc1sq;
        const double temp = s.d2 * tsi * s.cc1 / 3.0;
        s.d3 = (17.0 * ao + sfour) * temp;
        s.d4 = 0.5 * temp * ao * tsi * (221.0 * ao + 31.0 * sfour) * s.cc1;
        s.t3cof = s.d2 + 2.0 * cc1sq;
        s.t4cof = 0.25 * (3.0 * s.d3 + s.cc1 * (12.0 * s.d2 + 10.0 * cc1sq));
        s.t5cof = 0.2 * (3.0 * s.d4 + 12.0 * s.cc1 * s.d3 + 6.0 * s.d2 * s.d2 +
                         15.0 * cc1sq * (2.0 * s.d2 + cc1sq));
    }

    // As the 2006 code does: a first propagation at epoch tells whether the
    // elements can be propagated at all.
    double r[3], v[3];
    s.error = ::Propagate(s, 0.0, r, v);
    return s.error == 0;
}

int Sgp4::Propagate(double minutes, double position[3], double velocity[3]) {
    if (!m_state)
        return 1; // no elements at all
    State &s = *m_state;
    if (s.error != 0) // Init refused the elements; its terms may not all be there
        return s.error;
    if (!std::isfinite(minutes) || std::fabs(minutes) > kMaxMinutes)
        return 1;
    return ::Propagate(s, minutes, position, velocity);
}

int Sgp4::Error() const {
    return m_state ? m_state->error : 0;
}

const char *Sgp4::ErrorText(int code) {
    switch (code) {
    case 0:
        return "no error";
    case 1:
        return "mean elements out of range: eccentricity not in -0.001 to 1, or semi-major axis below 0.95 "
               "earth radii";
    case 2:
        return "mean motion not above zero";
    case 3:
        return "perturbed eccentricity not in 0 to 1";
    case 4:
        return "semi-latus rectum below zero";
    case 5:
        return "epoch elements are sub-orbital";
    case 6:
        return "satellite has decayed: below the Earth's surface";
    default:
        return "unknown error";
    }
}

bool Sgp4::DeepSpace() const {
    return m_state && m_state->deepSpace;
}

double Sgp4::PeriodMinutes() const {
    return m_state && m_state->no > 0.0 ? kTwoPi / m_state->no : 0.0;
}

const OrbitalElements &Sgp4::Elements() const {
    static const OrbitalElements none;
    return m_state ? m_state->elements : none;
}
