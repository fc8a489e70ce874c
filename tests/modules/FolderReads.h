#pragma once
// Counts the folder readings (opendir) of this test program, for the tests that check how often
// a folder is read. Linking FolderReads.cpp into a test program puts a counting opendir in front
// of the C library's.
namespace lq::test {

// The number of opendir calls so far in this process.
long FolderReads();

}  // namespace lq::test
