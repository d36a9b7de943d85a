#pragma once

#include <QString>
#include <system_error>

#include "job/Result.h"

namespace ui {

// The system's reason for a failed file operation in the user's words ("权限不足"); empty
// when there is no error.
QString SystemReasonText(const std::error_code& error);

// "<lead>：<path>（<reason>）" for a failure that names a file or folder, the path with the
// system's separators; a part the result lacks is left out.
QString WriteFailureText(const QString& lead, const job::Result& failure);

}  // namespace ui
