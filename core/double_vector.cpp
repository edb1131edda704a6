#include "core/double_vector.h"

#include <algorithm>
#include <new>
#include <utility>

cDoubleVector::cDoubleVector(std::uint32_t count) { Resize(count); }

cDoubleVector::~cDoubleVector() { Free(); }

cDoubleVector::cDoubleVector(const cDoubleVector& other)
{
    if (Resize(other.m_count))
        std::copy(other.m_values, other.m_values + m_count, m_values);
}

cDoubleVector& cDoubleVector::operator=(const cDoubleVector& other)
{
    if (this != &other && Resize(other.m_count))
        std::copy(other.m_values, other.m_values + m_count, m_values);
    return *this;
}

cDoubleVector::cDoubleVector(cDoubleVector&& other) noexcept
    : m_values(std::exchange(other.m_values, nullptr)), m_count(std::exchange(other.m_count, 0))
{
}

cDoubleVector& cDoubleVector::operator=(cDoubleVector&& other) noexcept
{
    if (this != &other)
    {
        Free();
        m_values = std::exchange(other.m_values, nullptr);
        m_count = std::exchange(other.m_count, 0);
    }
    return *this;
}

bool cDoubleVector::Resize(std::uint32_t n)
{
    if (n != m_count)
    {
        Free();
        if (n == 0)
            return true;
        m_values = new (std::nothrow) double[n];
        if (!m_values)
            return false;
        m_count = n;
    }
    std::fill(m_values, m_values + m_count, 0.0);
    return true;
}

void cDoubleVector::Free()
{
    delete[] m_values;
    m_values = nullptr;
    m_count = 0;
}
