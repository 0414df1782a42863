// The parameter dialogs by form class name, as processes ask the host for them.
#pragma once

#include <memory>
#include <string>

#include "ui/form_virtual.h"

namespace kandrel {

// The dialog of the named form class for process; null for a name no dialog is built for.
std::unique_ptr<TFormVirtual> CreateForm(const std::string& formClass, ProcVirtual& process);

}  // namespace kandrel
