#include "app/description_echo.h"

#include "console/console.h"

bool DescriptionEcho::OnLine(const DescriptionLine& line) {
  // The reader promises a NUL behind each of these views.
  if (line.kind == DescriptionLineKind::kHeader) {
    Print("Parsing [%s]\n", line.section.data());
  } else if (line.kind == DescriptionLineKind::kKey) {
    Print("[%s] %s = %s\n", line.section.data(), line.key.data(), line.value.data());
  }
  return true;
}
