#include "error/tolva_error.h"

namespace tolva {

std::string_view display_prefix(ErrorKind kind) {
  switch (kind) {
    case ErrorKind::Io: return "io error: ";
    case ErrorKind::Parse: return "parse error: ";
    case ErrorKind::MissingNode: return "missing node: ";
    case ErrorKind::InvalidRule: return "invalid rule: ";
    case ErrorKind::Unsupported: return "unsupported: ";
    case ErrorKind::Interrupted: return "interrupted: ";
  }
  return "error: ";
}

std::string TolvaError::display() const {
  std::string text(display_prefix(kind_));
  text += message_;
  return text;
}

}  // namespace tolva
