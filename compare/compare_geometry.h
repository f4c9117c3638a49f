#pragma once

// The comparison's geometry, free of any toolkit so it can be checked on its
// own. Coordinates are points with the origin at the top-left, y down.

#include <optional>

namespace krumple::geom {

struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    bool isEmpty() const { return !(width > 0 && height > 0); }
    // Left and top edges inside, right and bottom edges outside; an empty
    // rectangle contains nothing.
    bool contains(Point p) const { return minX() <= p.x && p.x < maxX() && minY() <= p.y && p.y < maxY(); }

    friend bool operator==(const Rect&, const Rect&) = default;
};

// The loupe's diameter in points.
inline constexpr double loupeDiameter = 170;

// The largest rectangle of the image's aspect that fits `area`, centred in it;
// the empty rectangle at (0, 0) unless both sizes are positive and finite.
Rect fittedRect(Size image, Size area);

// The pointer's position as fractions of `fit` from its top-left corner, in
// [0, 1) both ways; nullopt when `fit` does not contain it.
std::optional<Point> normalisedPosition(Rect fit, Point pointer);

// Where a loupe for the normalised position `n` is centred.
Point loupeCentre(Rect fit, Point n);

// The image drawn `zoom` times its fitted size, in the coordinates of a
// d × d loupe square, placed so that the point at fractions `n` lies at the
// square's centre.
Rect magnifiedRect(Rect fit, Point n, double zoom, double d);

// What a loupe draws: the part of the magnified image inside its square
// (`target`, square coordinates) and where that part lies in the image
// (`source`, image pixels). nullopt when no image shows in the square.
struct LoupeSample {
    Rect target;
    Rect source;
};
std::optional<LoupeSample> loupeSample(Size image, Rect fit, Point n, double zoom, double d);

}  // namespace krumple::geom
