#include "nicestep.h"

#include <cmath>
#include <limits>

namespace NiceStep {

namespace {
    bool hasRoom(double pixelsPerUnit, double minDistance)
    {
        return pixelsPerUnit > 0 && std::isfinite(pixelsPerUnit) && std::isfinite(minDistance);
    }

    // The first multiple of 50 whose product with p is at least m, found arithmetically.
    double multipleOf50(double p, double m)
    {
        double k = std::ceil(m / (50.0 * p));
        if (k < 1)
            k = 1;
        while (k > 1 && (k - 1) * 50.0 * p >= m)
            k -= 1;
        if (k * 50.0 * p < m)
            k += 1;
        return k * 50.0;
    }
}

int integerStep(double pixelsPerUnit, double minDistance)
{
    if (!hasRoom(pixelsPerUnit, minDistance))
        return 0;
    static const int candidates[] = { 1, 2, 3, 5, 10, 20, 30, 40 };
    for (int c : candidates) {
        if (c * pixelsPerUnit >= minDistance)
            return c;
    }
    const double step = multipleOf50(pixelsPerUnit, minDistance);
    return step > std::numeric_limits<int>::max() ? 0 : int(step);
}

double realStep(double pixelsPerUnit, double minDistance)
{
    if (!hasRoom(pixelsPerUnit, minDistance))
        return 0;
    static const double candidates[]
        = { 0.00001, 0.0001, 0.001, 0.01, 0.1, 0.2, 0.3, 0.5, 0.8, 1, 2, 3, 5, 10, 20, 30, 40 };
    for (double c : candidates) {
        if (c * pixelsPerUnit >= minDistance)
            return c;
    }
    return multipleOf50(pixelsPerUnit, minDistance);
}

int smallestMultiple(int first, double pixelsPerUnit, double minDistance)
{
    if (!hasRoom(pixelsPerUnit, minDistance))
        return 0;
    double k = std::ceil(minDistance / pixelsPerUnit);
    if (k < first)
        k = first;
    while (k > first && (k - 1) * pixelsPerUnit >= minDistance)
        k -= 1;
    if (k * pixelsPerUnit < minDistance)
        k += 1;
    return k > std::numeric_limits<int>::max() ? 0 : int(k);
}

}
