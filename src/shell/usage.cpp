#include "shell/usage.h"

#include <cstdio>

namespace vorlan {
namespace {

const char* const kUsageLines[] = {
    "\nThe command syntax is as follows:\n\n",
    "VORLAN -CHECK <FileSpec> <DXFoldername>\n",
    "   Checks FileSpec to verify all files are included in the DX database.\n",
    "VORLAN -CHECKSTATS <FileSpec> <PartnerDataFolder>\n",
    "   Checks database file statistics from primary server against a partner folder.\n",
    "VORLAN -CLONE <NewFile> <SourceFile> [/options]\n",
    "   Clones (Creates) a new file from the source MKDE file.\n",
    "VORLAN -COPY <SourceFile> <TargetFile> [/options]\n",
    "   Copies records from the source MKDE file to the target.\n",
    "VORLAN -COPYBIND <SourceFile> <TargetFile> [/options]\n",
    "   Copies the MiscData block (binding) from the source MKDE file to the target.\n",
    "VORLAN -DELETE <DataFile>\n",
    "   Deletes a Btrieve file via the Btrieve Interface with NO confirmation.\n",
    "VORLAN -FORCE <PDC-Table> [/options]\n",
    "   Forces new timestamps into the PDC Table to replicate all records.\n",
    "VORLAN -LOAD <UNFFile> <DataFile> [/options]\n",
    "   Imports records and system data into the specified data file.\n",
    "VORLAN -PARSE <TimeStamp>\n",
    "   Displays the timestamp value as a time/date value.\n",
    "VORLAN -PURGE <PDC-Table> [/options]\n",
    "   Purges obituaries older than 30 days old from the PDC table.\n",
    "VORLAN -PURGEALL <PDC-Table> [/options]\n",
    "   Purges ALL outstanding obituaries from the PDC table.\n",
    "VORLAN -RECOVER <DataFile> <UNFFile> [/options]\n",
    "   Recovers the database records and system data in physical order.\n",
    "VORLAN -RENAME <DataFile> <NewFileName>\n",
    "   Renames a Btrieve file via the Btrieve Interface.\n",
    "VORLAN -SAVE <DataFile> <UNFFile> <KeyNumber> [/options]\n",
    "   Exports the database records and system data in the given key order.\n",
    "VORLAN -SAVEONE <DataFile> <UNFFile> <SysDataValueInHex> [/options]\n",
    "   Exports ONE database record by its system data value.\n",
    "VORLAN -SHOWBIND <Filename> [/options]\n",
    "   Displays the MiscData block (binding) from the given file.\n",
    "VORLAN -UNBIND <Filename> [/options]\n",
    "   Removes the MiscData block (binding) from the given file.\n",
    "VORLAN -UPDATE <DataFile> [/options]\n",
    "   Updates all records in the datafile to replicate all records.\n",
    "VORLAN -ZAPPDC <DataFile> <PDC-Table> <KeyNumber> <Value>\n",
    "   Deletes a PDC Record for a given record in the primary file.\n",
    "\nThe following options are supported:\n",
    "   /O<owner> specifies the Btrieve file owner name.\n",
    "   /I Reads Btrieve files in the FORWARD direction.\n",
    "   /J Reads Btrieve files in the BACKWARD direction.\n",
    "   /V## (CLONE) Sets the File Version to 6, 7, 8, 9, 95, or 13 (-1=Existing).\n",
    "   /U (LOAD/COPY) will UPDATE existing recs with System Data (Def=InsertOnly).\n",
    "   /X Opens Btrieve files in EXCLUSIVE mode.\n",
};

}  // namespace

void printUsage() {
  for (const char* line : kUsageLines) fputs(line, stderr);
}

}  // namespace vorlan
