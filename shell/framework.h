#pragma once
// Framework layer: the application object, the document template, and the
// multiple-document main and child frames that route commands through the
// command tables of framework/.
#include "application.h"
#include "childframe.h"
#include "mdiframe.h"
#include "services.h"
