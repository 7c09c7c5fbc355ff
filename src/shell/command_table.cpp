#include "shell/command_table.h"

#include <cctype>
#include <cstdio>

#include "admin/binding.h"
#include "admin/clone.h"
#include "admin/deployment_check.h"
#include "admin/file_operations.h"
#include "admin/partner_stats.h"
#include "engine/file_session.h"
#include "engine/run_options.h"
#include "platform/file_identity.h"
#include "replication/parse_command.h"
#include "replication/pdc_zap.h"
#include "replication/purge.h"
#include "replication/refresh.h"
#include "transfer/copy.h"
#include "transfer/export.h"
#include "transfer/import.h"

namespace vorlan {
namespace {

using A = ArgumentRole;
using S = SlotFile;
using C = SystemDataCheck;
using U = UnfUse;

// The passes of -SAVE, -RECOVER and -COPY: forward unless only /J was
// given; backward when /J was given and the forward pass did not run or was
// stopped with Escape. Both write into the same UNF file or target.
template <typename Pass>
int32_t runPasses(Pass pass) {
  constexpr int32_t kNoPass = -1111;
  int32_t result = kNoPass;
  if (runOptions.forwardPass()) result = pass(0);
  if (runOptions.readBackward != 0 && (result == kNoPass || result == 1)) result = pass(1);
  return result;
}

int32_t runParse(const CommandArguments& a) { return showTimestamp(a.text); }

int32_t runRecover(const CommandArguments&) {
  return runPasses([](int direction) { return exportRecords(-1, direction); });
}

int32_t runSave(const CommandArguments& a) {
  return runPasses([&a](int direction) { return exportRecords(a.keyNumber, direction); });
}

int32_t runSaveOne(const CommandArguments& a) { return exportOneRecord(a.sysDataValue); }

int32_t runLoad(const CommandArguments&) { return importRecords(); }

int32_t runLoadOld(const CommandArguments&) { return importRecordsOld(); }

int32_t runCopy(const CommandArguments& a) {
  // Copying a file into itself would meet its own new records again and
  // again.
  if (platform::sameFile(a.primary, a.secondary)) {
    fprintf(stderr, "\nSource and target are the same file <%s>.\n", a.secondary);
    return 1;
  }
  return runPasses(copyRecords);
}

int32_t runForce(const CommandArguments&) { return refreshRecords(RefreshMode::Force); }
int32_t runUpdate(const CommandArguments&) { return refreshRecords(RefreshMode::Update); }
int32_t runPurge(const CommandArguments&) { return purgeObituaries(PurgeMode::Aged); }
int32_t runPurgeAll(const CommandArguments&) { return purgeObituaries(PurgeMode::All); }
int32_t runZapPdc(const CommandArguments& a) { return zapPdcRecord(a.keyNumber, a.value); }
int32_t runShowBind(const CommandArguments&) { return showBinding(); }
int32_t runUnbind(const CommandArguments&) { return removeBinding(); }
int32_t runCopyBind(const CommandArguments&) { return copyBinding(); }

int32_t runClone(const CommandArguments& a) {
  return engineExAvailable == 1 ? cloneFileEx(a.secondary, runOptions.fileVersion)
                                : cloneFile(a.secondary, runOptions.fileVersion);
}

int32_t runCheck(const CommandArguments& a) { return checkDeployment(a.secondary); }
int32_t runCheckStats(const CommandArguments& a) { return checkPartnerStats(a.secondary, a.primary); }
int32_t runRename(const CommandArguments& a) { return renameFile(a.primary, a.secondary); }
int32_t runDelete(const CommandArguments& a) { return deleteFile(a.primary); }

int32_t parseDone(const CommandArguments&, int32_t) { return 0; }

int32_t forceDone(const CommandArguments&, int32_t status) {
  fputs("\nBe sure to manually update the main data file to notify the VadUra Optimizer!\n",
        stderr);
  return status;
}

int32_t cloneDone(const CommandArguments& a, int32_t status) {
  if (status == 0) printf("File %s created successfully.\n", a.secondary);
  return status;
}

int32_t checkDone(const CommandArguments&, int32_t status) {
  if (status == 0) fputs("File check completed.\n", stdout);
  return status;
}

int32_t checkStatsDone(const CommandArguments&, int32_t status) {
  fputs("File statistics check completed.\n", stdout);
  return status;
}

int32_t renameDone(const CommandArguments& a, int32_t status) {
  if (status == 0)
    printf("File renamed from %s to %s.\n", a.primary, a.secondary);
  else
    printf("File rename from %s to %s failed with Status %d.\n", a.primary, a.secondary, status);
  return status;
}

int32_t deleteDone(const CommandArguments& a, int32_t status) {
  if (status == 0)
    printf("File %s deleted.\n", a.primary);
  else
    printf("Delete of %s failed with Status %d.\n", a.primary, status);
  return status;
}

int32_t unbindDone(const CommandArguments& a, int32_t status) {
  if (status == 0)
    printf("\nMiscData block removed from %s.\n", a.primary);
  else
    printf("\nMiscData block removal from %s failed with Status %d.\n", a.primary, status);
  return status;
}

int32_t copyBindDone(const CommandArguments& a, int32_t status) {
  if (status == 0)
    printf("\nMiscData block moved from %s to %s.\n", a.primary, a.secondary);
  else
    printf("\nMiscData block move from %s to %s failed with Status %d.\n", a.primary,
           a.secondary, status);
  return status;
}

}  // namespace

// clang-format off
const CommandRow kCommands[] = {
  {"-PARSE", 1, {A::Text}, S::None, C::None, S::None, true, U::None,
   runParse, parseDone, "Syntax:\nVORLAN -PARSE <Timestamp>\n"},
  {"-FORCE", 1, {A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runForce, forceDone, "Syntax:\nVORLAN -FORCE <PDC-Table> [/options]\n"},
  {"-PURGE", 1, {A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runPurge, nullptr, "Syntax:\nVORLAN -PURGE <PDC-Table> [/options]\n"},
  {"-PURGEALL", 1, {A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runPurgeAll, nullptr, "Syntax:\nVORLAN -PURGEALL <PDC-Table> [/options]\n"},
  {"-UPDATE", 1, {A::Primary}, S::Primary, C::Warn, S::None, true, U::None,
   runUpdate, nullptr, "Syntax:\nVORLAN -UPDATE <DataFile> [/options]\n"},
  {"-RECOVER", 2, {A::Primary, A::Unf}, S::Primary, C::Warn, S::None, true, U::Export,
   runRecover, nullptr, "Syntax:\nVORLAN -RECOVER <DataFile> <UNFFile> [/options]\n"},
  {"-SAVE", 3, {A::Primary, A::Unf, A::KeyNumber}, S::Primary, C::Warn, S::None, true, U::Export,
   runSave, nullptr, "Syntax:\nVORLAN -SAVE <DataFile> <UNFFile> <KeyNumber> [/options]\n"},
  {"-COPY", 2, {A::Primary, A::Secondary}, S::Primary, C::Warn, S::Secondary, true, U::None,
   runCopy, nullptr, "Syntax:\nVORLAN -COPY <SourceFile> <TargetFile> [/options]\n"},
  {"-SAVEONE", 3, {A::Primary, A::Unf, A::SysDataValue}, S::Primary, C::Require, S::None, true,
   U::Export, runSaveOne, nullptr,
   "Syntax:\nVORLAN -SAVEONE <DataFile> <UNFFile> <SysDataValueInHex> [/options]\n"},
  {"-LOAD_OLD", 2, {A::Unf, A::Primary}, S::Primary, C::Warn, S::None, true, U::Import,
   runLoadOld, nullptr, "Syntax:\nVORLAN -OLD_LOAD <UNFFile> <DataFile> [/options]\n"},
  {"-LOAD", 2, {A::Unf, A::Primary}, S::Primary, C::Warn, S::None, true, U::Import,
   runLoad, nullptr, "Syntax:\nVORLAN -LOAD <UNFFile> <DataFile> [/options]\n"},
  {"-CLONE", 2, {A::Secondary, A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runClone, cloneDone, "Syntax:\nVORLAN -CLONE <NewFile> <SourceFile> [/V##]\n"},
  {"-CHECK", 2, {A::Secondary, A::Primary}, S::Dictionary, C::None, S::None, true, U::None,
   runCheck, checkDone, "Syntax:\nVORLAN -CHECK <FileSpec> <DXFoldername>\n"},
  {"-CHECKSTATS", 2, {A::Secondary, A::Primary}, S::None, C::None, S::None, true, U::None,
   runCheckStats, checkStatsDone, "Syntax:\nVORLAN -CHECKSTATS <FileSpec> <PartnerDataFolder>\n"},
  {"-RENAME", 2, {A::Primary, A::Secondary}, S::None, C::None, S::None, true, U::None,
   runRename, renameDone, "Syntax:\nVORLAN -RENAME <DataFile> <NewFileName>\n"},
  {"-DELETE", 1, {A::Primary}, S::None, C::None, S::None, true, U::None,
   runDelete, deleteDone, "Syntax:\nVORLAN -DELETE <DataFile>\n"},
  {"-ZAPPDC", 4, {A::Primary, A::Pdc, A::KeyNumber, A::Value}, S::Primary, C::Require, S::Pdc,
   false, U::None, runZapPdc, nullptr,
   "Syntax:\nVORLAN -ZAPPDC <DataFile> <PDC-Table> <KeyNumber> <Value>\n"},
  {"-UNBIND", 1, {A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runUnbind, unbindDone, "Syntax:\nVORLAN -UNBIND <Filename> [/options]\n"},
  {"-SHOWBIND", 1, {A::Primary}, S::Primary, C::None, S::None, true, U::None,
   runShowBind, nullptr, "Syntax:\nVORLAN -SHOWBIND <Filename> [/options]\n"},
  {"-COPYBIND", 2, {A::Primary, A::Secondary}, S::Primary, C::None, S::Secondary, true, U::None,
   runCopyBind, copyBindDone, "Syntax:\nVORLAN -COPYBIND <SourceFile> <TargetFile> [/options]\n"},
};
// clang-format on

const size_t kCommandCount = sizeof kCommands / sizeof kCommands[0];

namespace {

bool sameWord(const char* a, const char* b) {
  for (; *a != '\0' && *b != '\0'; ++a, ++b)
    if (toupper(static_cast<unsigned char>(*a)) != toupper(static_cast<unsigned char>(*b)))
      return false;
  return *a == *b;
}

}  // namespace

const CommandRow* findCommand(const char* word) {
  for (const CommandRow& row : kCommands)
    if (sameWord(word, row.word)) return &row;
  return nullptr;
}

}  // namespace vorlan
