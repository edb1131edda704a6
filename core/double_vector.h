// A vector of doubles with a 32-bit count: the parameter vectors, right-hand
// sides and solutions that the fitters, the matrix solves and the minimiser
// exchange. Allocation failure never throws: it leaves the vector empty.
#pragma once

#include <cstdint>

class cDoubleVector
{
public:
    cDoubleVector() = default;
    // count values, all 0.0; empty when count is 0 or the memory is missing.
    explicit cDoubleVector(std::uint32_t count);
    ~cDoubleVector();
    cDoubleVector(const cDoubleVector& other);
    cDoubleVector& operator=(const cDoubleVector& other);
    cDoubleVector(cDoubleVector&& other) noexcept;
    cDoubleVector& operator=(cDoubleVector&& other) noexcept;

    // n values, all 0.0 (in place when the count is already n). False when
    // the memory is missing; the vector is empty then.
    bool Resize(std::uint32_t n);

    std::uint32_t GetCount() const { return m_count; }
    double* GetData() { return m_values; }
    const double* GetData() const { return m_values; }
    double& operator[](std::uint32_t i) { return m_values[i]; }
    double operator[](std::uint32_t i) const { return m_values[i]; }

private:
    void Free();

    double* m_values = nullptr;
    std::uint32_t m_count = 0;
};
