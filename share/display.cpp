#include "display.h"

#include "interaction.h"
#include "strtable.h"

int DisplayMessage(int id, unsigned flags) {
    return Interaction().MessageBox({id, LoadStr(id), LoadStr(101), flags});
}
