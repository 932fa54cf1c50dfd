// Shapes read and write the same under any locale; no module changes the locale or FP environment.

#include <gtest/gtest.h>

#include <cfenv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <locale>
#include <locale.h>
#include <string>
#include <xmmintrin.h>

#include "testing/RecordedValues.h"
#include "host/GuiModule.h"
#include "shapes/NumberText.h"
#include "shapes/Shape.h"
#include "tests/modules/ShapeModuleSupport.h"

namespace {

constexpr char kCommaLocale[] = "de_DE.UTF-8";

// The C and C++ process locale as a host may set it, until this ends.
class ProcessLocale {
public:
    explicit ProcessLocale(char const* name)
        : previous_(setlocale(LC_ALL, nullptr)), previousGlobal_(std::locale::global(std::locale(name))) {
        setlocale(LC_ALL, name);
    }
    ~ProcessLocale() {
        std::locale::global(previousGlobal_);
        setlocale(LC_ALL, previous_.c_str());
    }
    ProcessLocale(ProcessLocale const&) = delete;
    ProcessLocale& operator=(ProcessLocale const&) = delete;

private:
    std::string previous_;
    std::locale previousGlobal_;
};

bool commaLocaleExists() {
    locale_t const comma = newlocale(LC_ALL_MASK, kCommaLocale, locale_t{});
    if (comma != locale_t{})
        freelocale(comma);
    return comma != locale_t{};
}

// The text read, the file written for it in mode 20, that file loaded, and its text form.
std::wstring shapeFileRoundTrip() {
    auto const path = std::filesystem::temp_directory_path() / "zr-locale-identity.shp";
    zr::Shape saved(L"(-5,0)(-2.5,0.5)(1.25,-1.5)(5,1)");
    saved.setInterpolation(zr::VarekSpline);
    saved.saveShp(path.wstring());
    std::ifstream file(path, std::ios::binary);
    std::string const bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    zr::Shape loaded;
    loaded.loadShp(path.wstring());
    std::filesystem::remove(path);
    return std::wstring(bytes.begin(), bytes.end()) + L" -> " + loaded.getString() + L" mode " + std::to_wstring(loaded.interpolation);
}

// The older parser and six-digit writer, through a legacy text module: every level moved by 0.25 V.
std::wstring legacyTextRoundTrip() {
    auto module = zr::test::running(L"ZR_ShapeShift");
    module->setText(0, 0, L"(-5,-4.5)(1.5,0.125)(5,4.25)");
    module->setFloat(1, 0, 0.25f);
    module->process(1);
    auto const sent = module->host().lastPinSet(2);
    return sent ? textOf(*sent) : L"nothing sent";
}

// A colour pin text after a blank that only other alphabets' rules know (an em space).
std::wstring colourTextAfterEmSpace() { return std::to_wstring(zr::readHexNumber(L"\u2003FF00FF00")); }

TEST(LocaleIdentity, TextsReadAndWriteTheSameUnderADecimalCommaLocale) {
    if (!commaLocaleExists())
        GTEST_SKIP() << "no " << kCommaLocale << " locale (scripts/setup.sh generates it)";
    struct Case {
        char const* name;
        std::function<std::wstring()> run;
        std::wstring underC; // as the "C" locale gives it
    };
    Case const cases[] = {
        {"shape file", shapeFileRoundTrip,
         L"(-5,0)(-2.5,0.5)(1.25,-1.5)(5,1)\nITP=20 -> (-5,0)(-2.5,0.5)(1.25,-1.5)(5,1) mode 20"},
        {"legacy text", legacyTextRoundTrip, L"(-5,-4.25)(1.5,0.375)(5,4.5)"},
        {"colour text", colourTextAfterEmSpace, L"0"},
    };
    for (Case const& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.run(), c.underC);
        ProcessLocale const comma(kCommaLocale);
        EXPECT_EQ(std::wcstof(L"2,5", nullptr), 2.5f) << "the comma locale is not in effect";
        EXPECT_EQ(c.run(), c.underC);
    }
}

// What a module could change behind the host's back: the locale and the floating-point
// rounding, exception traps, flush-to-zero and denormals-are-zero. Exception flags are
// left out: any arithmetic may raise them.
struct Environment {
    std::string locale;
    std::string globalLocale;
    int rounding;
    unsigned short x87Control;
    unsigned mxcsrControl;

    static Environment now() {
        std::fenv_t fenv;
        std::fegetenv(&fenv);
        constexpr unsigned kMxcsrFlags = 0x3F;
        return {setlocale(LC_ALL, nullptr), std::locale().name(), std::fegetround(), fenv.__control_word,
                _mm_getcsr() & ~kMxcsrFlags};
    }
    bool operator==(Environment const&) const = default;
};

void PrintTo(Environment const& e, std::ostream* out) {
    *out << e.locale << " / " << e.globalLocale << ", rounding " << e.rounding << ", x87 " << std::hex << e.x87Control
         << ", mxcsr " << e.mxcsrControl << std::dec;
}

TEST(LocaleIdentity, NoModuleChangesTheLocaleOrTheFloatingPointEnvironment) {
    for (zr::host::ModuleDescription const& description : zr::test::descriptions().all()) {
        SCOPED_TRACE(description.idText());
        Environment const before = Environment::now();
        if (description.subType == 0) {
            zr::test::running(description.id)->process(64);
        } else {
            zr::host::GuiModule::Options options;
            options.description = description;
            zr::host::GuiModule module(zr::test::bundle(), description.id, options);
            module.sendDefaults();
        }
        EXPECT_EQ(Environment::now(), before);
    }
}

} // namespace
