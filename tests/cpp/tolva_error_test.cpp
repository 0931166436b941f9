#include "error/tolva_error.h"

#include <gtest/gtest.h>

namespace tolva {
namespace {

TEST(TolvaError, DisplayPrefixesTheMessageUnchanged) {
  EXPECT_EQ(TolvaError(ErrorKind::Io, " x ").display(), "io error:  x ");
  EXPECT_EQ(TolvaError(ErrorKind::Parse, "x").display(), "parse error: x");
  EXPECT_EQ(TolvaError(ErrorKind::MissingNode, "n").display(), "missing node: n");
  EXPECT_EQ(TolvaError(ErrorKind::InvalidRule, "r").display(), "invalid rule: r");
  EXPECT_EQ(TolvaError(ErrorKind::Unsupported, "").display(), "unsupported: ");
}

}  // namespace
}  // namespace tolva
