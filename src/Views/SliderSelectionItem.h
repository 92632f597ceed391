#pragma once

// The selection a timeline slider draws, in slider units (seconds in
// practice). A length of 0 or less means there is nothing to draw.
struct SliderSelectionItem
{
    double dStart = 0.0;
    double dLength = -1.0;

    double end() const { return dStart + dLength; }
    bool isEmpty() const { return !(dLength > 0.0); }
};
