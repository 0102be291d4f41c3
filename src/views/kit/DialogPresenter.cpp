#include "views/kit/DialogPresenter.h"

namespace zn {

int cancelButtonIndex(const ConfirmationRequest &request)
{
    for (int i = 0; i < request.buttons.size(); ++i)
        if (request.buttons.at(i).role == DialogButtonRole::Cancel)
            return i;
    return -1;
}

} // namespace zn
