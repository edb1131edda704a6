// A closed parameter interval [m_t[0], m_t[1]]; it may be decreasing.
#pragma once

class ON_Interval
{
public:
    double m_t[2] = {0.0, 0.0};

    constexpr ON_Interval() = default;
    constexpr ON_Interval(double t0, double t1) : m_t{t0, t1} {}

    double& operator[](int i) { return m_t[i == 0 ? 0 : 1]; }
    double operator[](int i) const { return m_t[i == 0 ? 0 : 1]; }

    void Set(double t0, double t1) { m_t[0] = t0, m_t[1] = t1; }
    double Min() const { return m_t[0] <= m_t[1] ? m_t[0] : m_t[1]; }
    double Max() const { return m_t[0] <= m_t[1] ? m_t[1] : m_t[0]; }
    double Mid() const { return 0.5 * (m_t[0] + m_t[1]); }
    // Signed: m_t[1] - m_t[0].
    double Length() const { return m_t[1] - m_t[0]; }
    bool IsValid() const;
    bool IsIncreasing() const { return IsValid() && m_t[0] < m_t[1]; }
    bool IsDecreasing() const { return IsValid() && m_t[0] > m_t[1]; }
    bool IsSingleton() const { return IsValid() && m_t[0] == m_t[1]; }
    // (1 - s) t0 + s t1.
    double ParameterAt(double normalized_parameter) const;
    // (t - t0) / (t1 - t0); the unset value for a singleton interval.
    double NormalizedParameterAt(double t) const;
    bool Includes(double t) const { return Min() <= t && t <= Max(); }
    void Swap();
    // Grows the interval to hold t (a singleton or unset one becomes [t, t]).
    bool Union(double t);
};

bool operator==(const ON_Interval& a, const ON_Interval& b);
bool operator!=(const ON_Interval& a, const ON_Interval& b);
