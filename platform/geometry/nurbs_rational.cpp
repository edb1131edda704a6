#include "platform/geometry/nurbs_rational.h"

#include <cmath>

namespace
{

constexpr int kMaxDerivatives = ON_NURBS_MAX_ORDER;

} // namespace

using nurbs_basis::Binomial;

bool ON_IsValidKnotVector(int order, int cv_count, const double* knot)
{
    if (order < 2 || order > ON_NURBS_MAX_ORDER || cv_count < order || knot == nullptr)
        return false;
    const int knot_count = cv_count + order;
    int multiplicity = 1;
    for (int i = 0; i < knot_count; ++i)
    {
        if (!std::isfinite(knot[i]))
            return false;
        if (i > 0)
        {
            if (knot[i] < knot[i - 1])
                return false;
            multiplicity = knot[i] == knot[i - 1] ? multiplicity + 1 : 1;
            if (multiplicity > order)
                return false;
        }
    }
    return knot[order - 1] < knot[cv_count];
}

bool ON_RationalCurveQuotient(int dim, int der_count, double* v)
{
    const int size = dim + 1;
    const double w = v[dim];
    if (w == 0.0 || !std::isfinite(w))
        return false;
    for (int k = 0; k <= der_count; ++k)
    {
        double* ck = v + k * size;
        for (int i = 1; i <= k; ++i)
        {
            const double b = Binomial(k, i) * v[i * size + dim];
            const double* c = v + (k - i) * size;
            for (int d = 0; d < dim; ++d)
                ck[d] -= b * c[d];
        }
        for (int d = 0; d < dim; ++d)
            ck[d] /= w;
    }
    return true;
}

bool ON_RationalSurfaceQuotient(int dim, int der_count, double* v)
{
    const int size = dim + 1;
    const double w = v[dim];
    if (w == 0.0 || !std::isfinite(w) || der_count > kMaxDerivatives)
        return false;
    // Index of D^i_s D^j_t in the total-order layout.
    auto at = [size](int i, int j) { return (((i + j) * (i + j + 1)) / 2 + j) * size; };
    for (int n = 0; n <= der_count; ++n)
    {
        for (int l = 0; l <= n; ++l)
        {
            const int k = n - l;
            double* skl = v + at(k, l);
            for (int j = 1; j <= l; ++j)
            {
                const double b = Binomial(l, j) * v[at(0, j) + dim];
                const double* c = v + at(k, l - j);
                for (int d = 0; d < dim; ++d)
                    skl[d] -= b * c[d];
            }
            for (int i = 1; i <= k; ++i)
            {
                const double bi = Binomial(k, i);
                {
                    const double b = bi * v[at(i, 0) + dim];
                    const double* c = v + at(k - i, l);
                    for (int d = 0; d < dim; ++d)
                        skl[d] -= b * c[d];
                }
                for (int j = 1; j <= l; ++j)
                {
                    const double b = bi * Binomial(l, j) * v[at(i, j) + dim];
                    const double* c = v + at(k - i, l - j);
                    for (int d = 0; d < dim; ++d)
                        skl[d] -= b * c[d];
                }
            }
            for (int d = 0; d < dim; ++d)
                skl[d] /= w;
        }
    }
    return true;
}

bool ON_EvaluateNurbsCurve(int dim, bool is_rat, int order, int cv_count, const double* knot, int cv_stride,
                           const double* cv, double t, int der_count, double* v)
{
    const int cv_size = is_rat ? dim + 1 : dim;
    if (dim < 1 || der_count < 0 || der_count >= kMaxDerivatives || cv == nullptr || cv_stride < cv_size ||
        !ON_IsValidKnotVector(order, cv_count, knot) || !std::isfinite(t))
        return false;
    const int span = nurbs_basis::FindSpan(order - 1, cv_count, knot, t);
    if (span < 0)
        return false;
    double ders[kMaxDerivatives * ON_NURBS_MAX_ORDER];
    nurbs_basis::BasisFunctionDerivatives(span, t, order - 1, der_count, knot, ders);
    const int first = span - order + 1;
    // Homogeneous derivatives, dim + 1 doubles each (weight 1 when
    // polynomial); on the stack for the usual dimensions.
    double local[4 * kMaxDerivatives];
    std::vector<double> heap;
    double* h = local;
    const int size = (der_count + 1) * (dim + 1);
    if (size > 4 * kMaxDerivatives)
    {
        heap.resize(static_cast<std::size_t>(size));
        h = heap.data();
    }
    for (int i = 0; i < size; ++i)
        h[i] = 0.0;
    for (int k = 0; k <= der_count; ++k)
    {
        double* hk = h + k * (dim + 1);
        for (int j = 0; j < order; ++j)
        {
            const double b = ders[k * order + j];
            const double* c = cv + static_cast<std::ptrdiff_t>(first + j) * cv_stride;
            for (int d = 0; d < cv_size; ++d)
                hk[d] += b * c[d];
            if (!is_rat)
                hk[dim] += b;
        }
    }
    if (is_rat && !ON_RationalCurveQuotient(dim, der_count, h))
        return false;
    for (int k = 0; k <= der_count; ++k)
        for (int d = 0; d < dim; ++d)
            v[k * dim + d] = h[k * (dim + 1) + d];
    return true;
}

ON_NurbsCurveData::ON_NurbsCurveData(int dimension, bool rational, int curve_order, int control_count)
    : dim(dimension), is_rat(rational), order(curve_order), cv_count(control_count)
{
    if (dim > 0 && order > 0 && cv_count > 0)
    {
        knot.assign(static_cast<std::size_t>(cv_count + order), 0.0);
        cv.assign(static_cast<std::size_t>(cv_count * CVSize()), 0.0);
    }
}

void ON_NurbsCurveData::SetCV(int i, const double* point, double weight)
{
    double* c = CV(i);
    const double w = is_rat ? weight : 1.0;
    for (int d = 0; d < dim; ++d)
        c[d] = w * point[d];
    if (is_rat)
        c[dim] = w;
}

bool ON_NurbsCurveData::IsValid() const
{
    if (dim < 1 || knot.size() != static_cast<std::size_t>(cv_count + order) ||
        cv.size() != static_cast<std::size_t>(cv_count * CVSize()) ||
        !ON_IsValidKnotVector(order, cv_count, knot.data()))
        return false;
    for (int i = 0; i < cv_count; ++i)
    {
        const double* c = CV(i);
        for (int d = 0; d < CVSize(); ++d)
            if (!std::isfinite(c[d]))
                return false;
        if (is_rat && !(c[dim] > 0.0))
            return false;
    }
    return true;
}

bool ON_NurbsCurveData::Evaluate(double t, int der_count, double* v) const
{
    if (knot.size() != static_cast<std::size_t>(cv_count + order) ||
        cv.size() != static_cast<std::size_t>(cv_count * CVSize()))
        return false;
    return ON_EvaluateNurbsCurve(dim, is_rat, order, cv_count, knot.data(), CVSize(), cv.data(), t, der_count, v);
}

bool ON_NurbsCurveData::SetDomain(double t0, double t1)
{
    if (!(t0 < t1) || !IsValid())
        return false;
    const double a = DomainMin(), b = DomainMax();
    const double scale = (t1 - t0) / (b - a);
    // Knots at the domain's ends land exactly on t0 and t1 despite rounding.
    for (double& k : knot)
        k = k == a ? t0 : (k == b ? t1 : t0 + (k - a) * scale);
    return true;
}
