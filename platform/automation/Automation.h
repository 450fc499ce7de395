// The COM/OLE automation run time: variants, strings, safe arrays, dispatch
// interfaces, object creation, and the framework's wrappers over them.
#pragma once

#include "platform/automation/Bstr.h"
#include "platform/automation/ComRuntime.h"
#include "platform/automation/Dispatch.h"
#include "platform/automation/DispatchObject.h"
#include "platform/automation/Guid.h"
#include "platform/automation/OleDispatchDriver.h"
#include "platform/automation/OleException.h"
#include "platform/automation/OleVariant.h"
#include "platform/automation/SafeArray.h"
#include "platform/automation/StatusCodes.h"
#include "platform/automation/Variant.h"
