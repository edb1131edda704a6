// An independent least-squares minimiser (Eigen's Levenberg-Marquardt with a
// numerical Jacobian) that the placement tests measure the fits against: it
// finds the minimum of a sum of squared residuals to well below the noise,
// from any start near it, and cares nothing for where the part lies.
#pragma once

#include "fitting/fit_container.h"

#include <Eigen/Dense>
#include <unsupported/Eigen/NonLinearOptimization>
#include <unsupported/Eigen/NumericalDiff>

#include <functional>
#include <vector>

namespace least_squares_reference
{

// Fills the residuals (one per point) for a parameter vector.
using tResiduals = std::function<void(const Eigen::VectorXd& x, Eigen::VectorXd& residuals)>;

struct stFunctor
{
    using Scalar = double;
    enum
    {
        InputsAtCompileTime = Eigen::Dynamic,
        ValuesAtCompileTime = Eigen::Dynamic
    };
    using InputType = Eigen::VectorXd;
    using ValueType = Eigen::VectorXd;
    using JacobianType = Eigen::MatrixXd;

    int parameters;
    int residuals;
    tResiduals f;

    int inputs() const { return parameters; }
    int values() const { return residuals; }
    int operator()(const Eigen::VectorXd& x, Eigen::VectorXd& r) const
    {
        r.resize(residuals);
        f(x, r);
        return 0;
    }
};

// The minimiser of the sum of squared residuals, from start. Parameters
// should be of the order of one (scale them as the shape needs).
inline Eigen::VectorXd Minimise(Eigen::VectorXd start, int residualCount, const tResiduals& f)
{
    stFunctor functor{int(start.size()), residualCount, f};
    Eigen::NumericalDiff<stFunctor, Eigen::Central> differences(functor, 1e-10);
    Eigen::LevenbergMarquardt<Eigen::NumericalDiff<stFunctor, Eigen::Central>> lm(differences);
    lm.parameters.xtol = 1e-14;
    lm.parameters.ftol = 1e-14;
    lm.parameters.maxfev = 20000;
    lm.minimize(start);
    return start;
}

inline std::vector<Eigen::Vector3d> Positions(const tFitPointQueue& q)
{
    std::vector<Eigen::Vector3d> out;
    out.reserve(q.size());
    for (const stFitPoint& p : q)
        out.emplace_back(p.position[0], p.position[1], p.position[2]);
    return out;
}

} // namespace least_squares_reference
