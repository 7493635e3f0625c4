#pragma once

// Step searches for chart and histogram marks: the smallest "nice" step whose marks lie at least
// minDistance pixels apart at pixelsPerUnit pixels per unit. Without room (a scale that is zero,
// negative or not finite) there is no step and both answer 0, so a search can never run forever.
namespace NiceStep {

// 1, 2, 3, 5, 10, 20, 30, 40, then multiples of 50.
int integerStep(double pixelsPerUnit, double minDistance);

// Powers of ten from 0.00001 to 0.1, 0.2, 0.3, 0.5, 0.8, 1, 2, 3, 5, 10, 20, 30, 40, then multiples
// of 50.
double realStep(double pixelsPerUnit, double minDistance);

// The smallest k >= first with k * pixelsPerUnit >= minDistance; 0 without room.
int smallestMultiple(int first, double pixelsPerUnit, double minDistance);

}
