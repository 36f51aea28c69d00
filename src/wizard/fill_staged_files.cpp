// Filling the staged files of a plan on several threads at once.
//
// Each item's entry is decoded by FillStagedFile straight into a mapping of
// its own staged file, so a worker holds no block of the entry's size: the
// decoded pages belong to the file and the system writes them out while the
// workers go on with the next entries. The workers take the items in list
// order from one counter; the calling thread is one of them, and waits for
// the others before it returns, so that the run reads the items' outcomes
// only when every worker is done with them.
#include "wizard/run_update_plan.h"

namespace {

// At most this many threads: WaitForMultipleObjects takes no more handles.
constexpr int kMaxFillThreads = MAXIMUM_WAIT_OBJECTS;

struct FillWork {
  UpdatePlan* Plan;
  LONG Count;
  volatile LONG Next;         // the next item to take
  volatile LONG FirstFailed;  // the first failed item in list order so far, Count when none
};

// Lowers FirstFailed to index unless an earlier item has failed already.
void NoteFailure(FillWork& work, LONG index) {
  LONG seen = work.FirstFailed;
  while (index < seen) {
    const LONG previous = InterlockedCompareExchange(&work.FirstFailed, index, seen);
    if (previous == seen) return;
    seen = previous;
  }
}

DWORD WINAPI FillItems(void* parameter) {
  FillWork& work = *static_cast<FillWork*>(parameter);
  for (;;) {
    const LONG index = InterlockedIncrement(&work.Next) - 1;
    if (index >= work.Count) return 0;
    // An item after a failed one is never reported and its staged file is
    // deleted with the others: there is no need to fill it.
    if (index > work.FirstFailed) continue;
    if (!FillStagedFile(work.Plan->Items[index])) NoteFailure(work, index);
  }
}

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const int count = static_cast<int>(info.dwNumberOfProcessors);
  return count < 1 ? 1 : count;
}

}  // namespace

int FillStagedFiles(UpdatePlan& plan, int count) {
  FillWork work;
  work.Plan = &plan;
  work.Count = count;
  work.Next = 0;
  work.FirstFailed = count;

  int staged = 0;
  for (int i = 0; i < count; ++i) staged += HasStagedFile(plan.Items[i]);
  int threads = ProcessorCount();
  if (threads > staged) threads = staged;
  if (threads > kMaxFillThreads) threads = kMaxFillThreads;

  // The calling thread is a worker too. A thread that cannot be started only
  // leaves the work to the others.
  HANDLE helpers[kMaxFillThreads];
  int started = 0;
  for (int i = 1; i < threads; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, FillItems, &work, 0, nullptr);
    if (thread) helpers[started++] = thread;
  }
  FillItems(&work);
  if (started) WaitForMultipleObjects(static_cast<DWORD>(started), helpers, TRUE, INFINITE);
  for (int i = 0; i < started; ++i) CloseHandle(helpers[i]);
  return work.FirstFailed < count ? static_cast<int>(work.FirstFailed) : -1;
}
