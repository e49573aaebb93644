#include "display.h"

#include "interaction.h"
#include "strtable.h"

int DisplayMessage(int id, unsigned flags) {
    return Interaction().MessageBox({id, LoadStr(id), LoadStr(101), flags});
}

void ShowException(const std::exception& e) {
    Interaction().MessageBox({0, e.what(), LoadStr(101), MB_OK | MB_ICONSTOP});
}
