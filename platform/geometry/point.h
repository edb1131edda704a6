// Points and vectors of the geometry library: double-precision ones for CAD
// geometry, single-precision ones for mesh vertices and normals.
#pragma once

#include <cstdint>

constexpr double ON_UNSET_VALUE = -1.23432101234321e+308;
constexpr double ON_ZERO_TOLERANCE = 2.3283064365386962890625e-10; // 2^-32
constexpr double ON_PI = 3.141592653589793238462643;

inline bool ON_IsValid(double x)
{
    // Unset and non-finite values are both "not a value".
    return x != ON_UNSET_VALUE && x == x && x > -1.0e308 && x < 1.0e308;
}

class ON_3dVector;
class ON_3fPoint;
class ON_Xform;

class ON_3dPoint
{
public:
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr ON_3dPoint() = default;
    constexpr ON_3dPoint(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    explicit ON_3dPoint(const double* p) : x(p[0]), y(p[1]), z(p[2]) {}
    ON_3dPoint(const ON_3fPoint& p);
    explicit ON_3dPoint(const ON_3dVector& v);

    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    ON_3dPoint& operator+=(const ON_3dVector& v);
    ON_3dPoint& operator-=(const ON_3dVector& v);
    ON_3dPoint& operator*=(double s);
    ON_3dPoint& operator/=(double s);

    bool IsValid() const { return ON_IsValid(x) && ON_IsValid(y) && ON_IsValid(z); }
    double DistanceTo(const ON_3dPoint& p) const;
    void Set(double xx, double yy, double zz) { x = xx, y = yy, z = zz; }
    void Transform(const ON_Xform& xform);
};

class ON_3dVector
{
public:
    double x = 0.0, y = 0.0, z = 0.0;

    constexpr ON_3dVector() = default;
    constexpr ON_3dVector(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    explicit ON_3dVector(const double* v) : x(v[0]), y(v[1]), z(v[2]) {}
    explicit ON_3dVector(const ON_3dPoint& p) : x(p.x), y(p.y), z(p.z) {}

    double& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    double operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    ON_3dVector operator-() const { return {-x, -y, -z}; }
    ON_3dVector& operator+=(const ON_3dVector& v);
    ON_3dVector& operator-=(const ON_3dVector& v);
    ON_3dVector& operator*=(double s);
    ON_3dVector& operator/=(double s);

    bool IsValid() const { return ON_IsValid(x) && ON_IsValid(y) && ON_IsValid(z); }
    double Length() const;
    double LengthSquared() const { return x * x + y * y + z * z; }
    bool IsZero() const { return x == 0.0 && y == 0.0 && z == 0.0; }
    bool IsTiny(double tiny_tol = ON_ZERO_TOLERANCE) const;
    bool IsUnitVector() const;
    // Scales to unit length; false (and unchanged) for a zero or invalid vector.
    bool Unitize();
    // 1 when parallel, -1 when anti-parallel, 0 otherwise (or when either
    // vector is zero), with the angle tolerance in radians.
    int IsParallelTo(const ON_3dVector& v, double angle_tolerance = ON_PI / 180.0) const;
    // 1 when perpendicular within the angle tolerance, else 0.
    bool IsPerpendicularTo(const ON_3dVector& v, double angle_tolerance = ON_PI / 180.0) const;
    // Sets this to a unit vector perpendicular to v; false for a zero v.
    bool PerpendicularTo(const ON_3dVector& v);
    void Set(double xx, double yy, double zz) { x = xx, y = yy, z = zz; }
    void Transform(const ON_Xform& xform);
};

class ON_3fPoint
{
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr ON_3fPoint() = default;
    constexpr ON_3fPoint(float xx, float yy, float zz) : x(xx), y(yy), z(zz) {}
    explicit ON_3fPoint(const ON_3dPoint& p)
        : x(static_cast<float>(p.x)), y(static_cast<float>(p.y)), z(static_cast<float>(p.z))
    {
    }
    explicit ON_3fPoint(const float* p) : x(p[0]), y(p[1]), z(p[2]) {}

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    double DistanceTo(const ON_3fPoint& p) const;
    void Set(float xx, float yy, float zz) { x = xx, y = yy, z = zz; }
};

class ON_3fVector
{
public:
    float x = 0.0f, y = 0.0f, z = 0.0f;

    constexpr ON_3fVector() = default;
    constexpr ON_3fVector(float xx, float yy, float zz) : x(xx), y(yy), z(zz) {}
    explicit ON_3fVector(const ON_3dVector& v)
        : x(static_cast<float>(v.x)), y(static_cast<float>(v.y)), z(static_cast<float>(v.z))
    {
    }

    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }
    double Length() const;
    bool Unitize();
};

ON_3dPoint operator+(const ON_3dPoint& p, const ON_3dVector& v);
ON_3dPoint operator-(const ON_3dPoint& p, const ON_3dVector& v);
ON_3dVector operator-(const ON_3dPoint& a, const ON_3dPoint& b);
ON_3dPoint operator*(double s, const ON_3dPoint& p);
ON_3dPoint operator*(const ON_3dPoint& p, double s);
ON_3dPoint operator/(const ON_3dPoint& p, double s);
bool operator==(const ON_3dPoint& a, const ON_3dPoint& b);
bool operator!=(const ON_3dPoint& a, const ON_3dPoint& b);

ON_3dVector operator+(const ON_3dVector& a, const ON_3dVector& b);
ON_3dVector operator-(const ON_3dVector& a, const ON_3dVector& b);
ON_3dVector operator*(double s, const ON_3dVector& v);
ON_3dVector operator*(const ON_3dVector& v, double s);
ON_3dVector operator/(const ON_3dVector& v, double s);
bool operator==(const ON_3dVector& a, const ON_3dVector& b);
bool operator!=(const ON_3dVector& a, const ON_3dVector& b);

bool operator==(const ON_3fPoint& a, const ON_3fPoint& b);
bool operator!=(const ON_3fPoint& a, const ON_3fPoint& b);

double ON_DotProduct(const ON_3dVector& a, const ON_3dVector& b);
ON_3dVector ON_CrossProduct(const ON_3dVector& a, const ON_3dVector& b);

extern const ON_3dPoint ON_origin;
extern const ON_3dPoint ON_UNSET_POINT;
extern const ON_3dVector ON_xaxis;
extern const ON_3dVector ON_yaxis;
extern const ON_3dVector ON_zaxis;
