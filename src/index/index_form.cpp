#include "index/index_form.h"

namespace quilldex {

IndexForm::~IndexForm() = default;

bool IndexForm::writesEmptyListing() const
{
    return false;
}

std::unique_ptr<IndexForm> makeIndexForm(const IndexOptions& options)
{
    switch (options.form) {
    case OutputForm::Page:
        return makePageForm();
    case OutputForm::Json:
        return makeJsonForm();
    case OutputForm::Fragment:
        break;
    }
    return makeFragmentForm();
}

}  // namespace quilldex
