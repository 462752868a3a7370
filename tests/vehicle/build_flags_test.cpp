#include <cfloat>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include <gtest/gtest.h>

namespace {

// The physics must give the same bits on every program of a race, so the
// build must neither fuse a * b + c into one rounding nor keep floats in a
// wider format between operations.
TEST(BuildFlagsTest, NoFusedMultiplyAdd) {
    // a * b = 1 + 2^-11 + 2^-24 exactly, which rounds (ties to even) to
    // 1 + 2^-11 in single precision: the separate operations give 0, a
    // fused multiply-add keeps the 2^-24.
    volatile float a = 1.0f + 0x1p-12f;
    volatile float b = 1.0f + 0x1p-12f;
    volatile float c = -(1.0f + 0x1p-11f);
    const float separate = a * b + c;
    EXPECT_EQ(std::fma(static_cast<float>(a), static_cast<float>(b), static_cast<float>(c)), 0x1p-24f)
        << "the case must tell fused from separate arithmetic";
    EXPECT_EQ(separate, 0.0f) << "the build contracts a * b + c into a fused multiply-add";
    EXPECT_EQ(FLT_EVAL_METHOD, 0) << "floats are evaluated in a wider format";
}

// The C library's trigonometric, exponential and power functions differ
// between libraries and machines; the vehicle code uses the project's own
// float maths instead (sqrt is exact and allowed).
TEST(BuildFlagsTest, VehicleCodeCallsNoLibraryTranscendentals) {
    const std::filesystem::path folder = std::filesystem::path(KZV_SOURCE_DIR) / "vehicle";
    ASSERT_TRUE(std::filesystem::is_directory(folder)) << folder;

    const std::regex call(
        R"((^|[^A-Za-z0-9_.>])(std::)?(sin|cos|tan|asin|acos|atan|atan2|sinh|cosh|tanh|asinh|acosh|atanh|exp|exp2|expm1|log|log2|log10|log1p|pow|cbrt|hypot)[fl]?\s*\()");
    int filesRead = 0;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".h" && extension != ".cpp")
            continue;
        ++filesRead;
        std::ifstream file(entry.path());
        std::string line;
        int number = 0;
        while (std::getline(file, line)) {
            ++number;
            const size_t comment = line.find("//");
            if (comment != std::string::npos)
                line.erase(comment);
            EXPECT_FALSE(std::regex_search(line, call)) << entry.path().filename().string() << ":" << number << ": " << line;
        }
    }
    EXPECT_GT(filesRead, 0);
}

}  // namespace
