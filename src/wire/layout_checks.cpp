// Includes every wire header once so that their layout checks run in every build.
#include "wire/ethtool_nvm.h"
#include "wire/hwrm_answer.h"
#include "wire/hwrm_header.h"
#include "wire/hwrm_messages.h"
#include "wire/hwrm_nvm.h"
#include "wire/hwrm_query.h"
#include "wire/lfc.h"
#include "wire/nvm_directory.h"
