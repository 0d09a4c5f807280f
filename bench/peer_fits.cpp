#include "bench/peer_fits.h"

#include <cmath>

namespace qoz::bench {

namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

double Determinant(const Matrix3& m) {
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) -
           m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Solves m · solution = right by Cramer's rule.
bool Solve(const Matrix3& m, const std::array<double, 3>& right, std::array<double, 3>& solution) {
    double determinant = Determinant(m);
    if (std::abs(determinant) < 1e-9) return false;
    for (int column = 0; column < 3; ++column) {
        Matrix3 replaced = m;
        for (int row = 0; row < 3; ++row) replaced[row][column] = right[row];
        solution[column] = Determinant(replaced) / determinant;
    }
    return true;
}

}  // namespace

bool FitAffine(const Taps& taps, ReadingToScreen& fit) {
    // The normal equations: (AᵀA) · (a, b, c) = Aᵀ · target, each row of A
    // being (x_raw, y_raw, 1).
    Matrix3 normal{};
    std::array<double, 3> towardX{}, towardY{};
    for (const Tap& tap : taps) {
        const std::array<double, 3> row{tap.readingX, tap.readingY, 1};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j) normal[i][j] += row[i] * row[j];
            towardX[i] += row[i] * tap.markX;
            towardY[i] += row[i] * tap.markY;
        }
    }
    std::array<double, 3> forX{}, forY{};
    if (!Solve(normal, towardX, forX) || !Solve(normal, towardY, forY)) return false;
    fit = {forX[0], forX[1], forX[2], forY[0], forY[1], forY[2]};
    return true;
}

bool FitPerAxisFromCorners(const Taps& taps, ReadingToScreen& fit) {
    auto mean = [](double a, double b) { return (a + b) / 2; };
    double left = mean(taps[0].readingX, taps[3].readingX);
    double right = mean(taps[1].readingX, taps[2].readingX);
    double top = mean(taps[0].readingY, taps[1].readingY);
    double bottom = mean(taps[2].readingY, taps[3].readingY);
    if (right == left || bottom == top) return false;
    double scaleX = (taps[1].markX - taps[0].markX) / (right - left);
    double scaleY = (taps[3].markY - taps[0].markY) / (bottom - top);
    fit = {scaleX, 0, taps[0].markX - scaleX * left, 0, scaleY, taps[0].markY - scaleY * top};
    return true;
}

}  // namespace qoz::bench
