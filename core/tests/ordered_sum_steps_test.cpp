// A running sum taken a block at a time from counted steps comes out as the
// terms added one by one, whatever the blocks hold.
#include "core/ordered_sum_steps.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace
{

double Sequential(double sum, const std::vector<double>& terms, std::size_t first, std::size_t end)
{
    for (std::size_t i = first; i < end; ++i)
        if (terms[i] >= 0.0)
            sum += terms[i];
    return sum;
}

TEST(OrderedSumSteps, BlocksTakenFromStepsSumAsTheTermsOneByOne)
{
    // Squares of small values (terms far below the sum but for the first
    // blocks, which cross many binades), ties at the sum's spacing where
    // its last bit decides, terms that are no terms (negative, NaN), a term
    // of half the sum, and at the end an infinite one.
    constexpr std::size_t kPerBlock = kMaxSumStepTerms, kBlocks = 120;
    std::mt19937_64 random(99);
    std::uniform_real_distribution<double> value(0.0, 0.1);
    std::vector<double> terms(kPerBlock * kBlocks);
    double sum = 0.0;
    int ties = 0;
    for (std::size_t i = 0; i < terms.size(); ++i)
    {
        double t = value(random);
        t *= t;
        if (i % 97 == 5)
            t = -1.0;
        else if (i % 1013 == 7)
            t = std::numeric_limits<double>::quiet_NaN();
        else if (i / kPerBlock % 3 == 0 && i % 251 == 3 && sum > 1.0)
            t = std::ldexp(2.0 * static_cast<double>(random() % 50) + 1.0, std::ilogb(sum) - 53), ++ties;
        else if (i == 40 * kPerBlock + 9)
            t = 0.5 * sum;
        else if (i == terms.size() - 10)
            t = std::numeric_limits<double>::infinity();
        terms[i] = t;
        if (t >= 0.0)
            sum += t;
    }
    ASSERT_GT(ties, 300);
    const auto term = [&](std::size_t block) {
        return [&, block](std::size_t k) { return terms[block * kPerBlock + k]; };
    };
    // A first pass counted for no binade, then one counted for the binades it
    // met, then one counted for some wrong ones.
    std::vector<int> binades(kBlocks, INT_MIN);
    for (int pass = 0; pass < 3; ++pass)
    {
        double running = 0.0, expected = 0.0;
        std::size_t termByTerm = 0;
        for (std::size_t b = 0; b < kBlocks; ++b)
        {
            const int binade = pass == 2 && b % 5 == 0 ? binades[b] + 1 : binades[b];
            const stSumSteps steps = CountSumSteps(kPerBlock, binade, term(b));
            binades[b] = SumBinade(running);
            running = TakeSumSteps(running, steps,
                                   [&](double s) {
                                       ++termByTerm;
                                       return Sequential(s, terms, b * kPerBlock, (b + 1) * kPerBlock);
                                   });
            expected = Sequential(expected, terms, b * kPerBlock, (b + 1) * kPerBlock);
            ASSERT_EQ(std::memcmp(&running, &expected, sizeof running), 0) << pass << " " << b;
        }
        EXPECT_EQ(running, std::numeric_limits<double>::infinity());
        // Once the sum's binade is known, only the blocks with ties or a big
        // term, and those where the sum leaves its binade.
        if (pass == 1)
        {
            EXPECT_LT(termByTerm, kBlocks / 2);
        }
    }
}

TEST(OrderedSumSteps, SquaresCountedInLanesAsOneByOne)
{
    // Values of either sign (-0 included), NaN, squares tied at the spacing
    // of binade -1 (odd multiples of 2^-27 squared), a square past half the
    // binade's start, an infinite value; blocks of odd and even length, in
    // pairs of lanes and in eights where the processor has them.
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> value(-0.3, 0.3);
    for (int block = 0; block < 400; ++block)
    {
        const std::size_t n = block == 0 ? kMaxSumStepTerms + 1 : 1 + random() % 300;
        std::vector<double> values(n);
        for (double& v : values)
            v = value(random);
        if (block % 4 == 1)
            values[random() % n] = std::ldexp(2.0 * static_cast<double>(random() % 500) + 1.0, -27);
        if (block % 7 == 2)
            values[random() % n] = std::numeric_limits<double>::quiet_NaN();
        if (block % 9 == 3)
            values[random() % n] = -0.0;
        if (block % 11 == 4)
            values[random() % n] = 0.75;
        if (block % 13 == 5)
            values[random() % n] = std::numeric_limits<double>::infinity();
        for (const int binade : {INT_MIN, -1, 3, -12})
        {
            const stSumSteps one = CountSumSteps(n, binade, [&](std::size_t k) {
                return values[k] >= 0.0 ? values[k] * values[k] : -1.0;
            });
            std::vector<stSumSteps> kernels{CountSumStepsOfSquaresInPairs(values.data(), n, binade),
                                            CountSumStepsOfSquares(values.data(), n, binade)};
            if (__builtin_cpu_supports("avx512f"))
                kernels.push_back(CountSumStepsOfSquaresInEights(values.data(), n, binade));
            for (const stSumSteps& lanes : kernels)
            {
                ASSERT_EQ(lanes.counted, one.counted) << block << " " << binade;
                EXPECT_EQ(lanes.binade, one.binade);
                if (one.counted)
                {
                    ASSERT_EQ(lanes.units, one.units) << block << " " << binade;
                }
            }
        }
    }
}

} // namespace
