#include "runtime/messages.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

#include "runtime/errors.h"
#include "runtime/floatmode.h"
#include "runtime/inttext.h"

namespace dw {
namespace {

TEST(ApplicationTitle, FromTheProgramFileName) {
  struct Case {
    const char* path;
    const char* title;
  };
  for (Case c : {Case{"tester.exe", "Tester"}, {"TESTER.EXE", "Tester"}, {"my.prog.exe", "My"},
                 {"/usr/local/bin/driftwise", "Driftwise"}, {"./build/app/DriftWise", "Driftwise"},
                 {"C:\\Program Files\\TESTER.EXE", "Tester"}, {"", ""}})
    EXPECT_EQ(ApplicationTitle(c.path), c.title) << c.path;
}

TEST(ErrorBoxText, AppendsAFullStopAfterCharactersSortingAfterIt) {
  struct Case {
    const char* message;
    const char* shown;
  };
  for (Case c : {Case{"Fichier introuvable", "Fichier introuvable."},
                 {"Erreur E/S 103", "Erreur E/S 103."},
                 {"ends with a stop.", "ends with a stop."},
                 {"(parenthesis)", "(parenthesis)"},
                 {"Really!", "Really!"},
                 {"Really?", "Really?."},
                 {"'x' n'est pas une valeur en virgule flottante correcte",
                  "'x' n'est pas une valeur en virgule flottante correcte."},
                 {"", ""}})
    EXPECT_EQ(ErrorBoxText(c.message), c.shown) << c.message;
  // Bytes of accented letters sort after "." as unsigned bytes.
  EXPECT_EQ(ErrorBoxText("Accès refusé"), "Accès refusé.");
}

TEST(FloatMode, FaultsRaiseTheirErrorsWithTheirMessages) {
  try {
    Divide(0.0L, 0.0L);
    FAIL();
  } catch (const EInvalidOp& e) {
    EXPECT_EQ(e.Message(), "Opération en virgule flottante incorrecte");
  }
  try {
    Divide(-3.0L, 0.0L);
    FAIL();
  } catch (const EZeroDivide& e) {
    EXPECT_EQ(e.Message(), "Division par zéro en virgule flottante");
  }
  try {
    StoreF64(1e500L);
    FAIL();
  } catch (const EOverflow& e) {
    EXPECT_EQ(e.Message(), "Débordement en virgule flottante");
  }
  EXPECT_THROW(StoreF32(1e39L), EOverflow);
  EXPECT_THROW(StoreF32(-1e39L), EOverflow);
  EXPECT_THROW(Divide(LDBL_MAX, 0.5L), EOverflow);
  EXPECT_THROW(Checked(NAN), EInvalidOp);
  EXPECT_THROW(StoreF64(INFINITY), EOverflow);
}

TEST(FloatMode, StoresRoundToNearestAndUnderflowSilently) {
  EXPECT_EQ(StoreF64(0.1L), 0.1);
  EXPECT_EQ(StoreF32(0.1L), 0.1f);
  EXPECT_EQ(StoreF32(1e-50L), 0.0f);
  EXPECT_EQ(StoreF64(DBL_MAX), DBL_MAX);
  EXPECT_EQ(Divide(1.0L, 3.0L), 1.0L / 3.0L);
  EXPECT_EQ(Divide(0.0L, -2.0L), 0.0L);
}

TEST(ParseInteger, TheCountBoxesGrammar) {
  struct Case {
    const char* text;
    std::optional<int32_t> value;
  };
  for (Case c : {Case{"10", 10}, {"  42", 42}, {"-7", -7}, {"+5", 5}, {"$FF", 255}, {"x1f", 31},
                 {"0X10", 16}, {"-$10", -16}, {"$FFFFFFFF", -1}, {"2147483647", 2147483647},
                 {"-2147483648", INT32_MIN}, {"2147483648", std::nullopt}, {"", std::nullopt},
                 {"-", std::nullopt}, {"12 ", std::nullopt}, {"1.5", std::nullopt},
                 {"12a", std::nullopt}, {"$", std::nullopt}, {"$123456789", std::nullopt},
                 {"\t1", std::nullopt}})
    EXPECT_EQ(ParseInteger(c.text), c.value) << c.text;
}

TEST(IOErrorMessage, KnownCodesAndTheGeneralForm) {
  EXPECT_EQ(IOErrorMessage(2), "Fichier introuvable");
  EXPECT_EQ(IOErrorMessage(3), "Nom de fichier incorrect");
  EXPECT_EQ(IOErrorMessage(4), "Trop de fichiers ouverts");
  EXPECT_EQ(IOErrorMessage(5), "Accès au fichier refusé");
  EXPECT_EQ(IOErrorMessage(100), "Lecture au-delà de la fin de fichier");
  EXPECT_EQ(IOErrorMessage(101), "Disque plein");
  EXPECT_EQ(IOErrorMessage(106), "Saisie numérique incorrecte");
  EXPECT_EQ(IOErrorMessage(103), "Erreur E/S 103");
  EXPECT_EQ(IOErrorMessage(28), "Erreur E/S 28");
  EXPECT_EQ(EInOutError(32).IOErrorCode(), 32);
}

}  // namespace
}  // namespace dw
