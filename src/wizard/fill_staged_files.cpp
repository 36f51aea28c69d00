// Filling the staged files of a plan on several threads at once.
//
// Each worker decodes its items through a buffer of its own and writes them
// part by part, so memory stays a few buffers whatever the entries' sizes.
// The workers take the items in list order from one counter; the calling
// thread is one of them only when no worker thread starts. One more thread
// follows the items in list order and flushes each staged file as soon as it
// is filled, so that the disk writes one file while the workers decode the
// next ones and the commit finds nearly everything on the disk. The calling
// thread, the dialog's, waits for every other thread before it returns, so
// that the run reads the items' outcomes only when nobody works on them any
// more; while it waits it answers the dialog's messages and shows the bytes
// written so far.
#include "wizard/staged_file.h"

#include "archive/archive_reader.h"
#include "wizard/run_progress.h"

namespace {

// At most this many threads: MsgWaitForMultipleObjects takes one handle
// fewer than MAXIMUM_WAIT_OBJECTS, and one of them is the flusher.
constexpr int kMaxFillThreads = MAXIMUM_WAIT_OBJECTS - 2;

// How often the progress is shown while no message comes.
constexpr DWORD kProgressTickMs = 50;

// A worker's buffer: the window, parts of 256 KiB (small enough that a part
// is still in the processor's cache when it is written) and the slack.
constexpr size_t kFillBufferSize = kArchiveEntryPartMinBuffer - 4096 + (256u << 10);

struct FillWork {
  UpdatePlan* Plan;
  LONG Count;
  volatile LONG Next;         // the next item to take
  volatile LONG FirstFailed;  // the first failed item in list order so far, Count when none
  volatile LONG Done[kUpdateListKeys];  // the item is filled, failed or passed over
  HANDLE ItemDone;            // set after each item is done
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

void FillItemsThrough(FillWork& work, uint8_t* buffer, size_t bufferSize) {
  for (;;) {
    const LONG index = InterlockedIncrement(&work.Next) - 1;
    if (index >= work.Count) return;
    // An item after a failed one is never reported and its staged file is
    // deleted with the others: there is no need to fill it.
    if (index <= work.FirstFailed &&
        !FillStagedFile(work.Plan->Items[index], buffer, bufferSize)) {
      NoteFailure(work, index);
    }
    InterlockedExchange(&work.Done[index], 1);
    if (work.ItemDone) SetEvent(work.ItemDone);
  }
}

DWORD WINAPI FillItems(void* parameter) {
  FillWork& work = *static_cast<FillWork*>(parameter);
  void* block = VirtualAlloc(nullptr, kFillBufferSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (block) {
    FillItemsThrough(work, static_cast<uint8_t*>(block), kFillBufferSize);
    VirtualFree(block, 0, MEM_RELEASE);
  } else {
    // Slower, but the run goes on.
    uint8_t small[kArchiveEntryPartMinBuffer];
    FillItemsThrough(work, small, sizeof small);
  }
  return 0;
}

// Flushes the staged files in list order as they are filled; stops at the
// first failure, as the run then throws every staged file away. A file that
// cannot be flushed here is flushed again by the commit.
DWORD WINAPI FlushItems(void* parameter) {
  FillWork& work = *static_cast<FillWork*>(parameter);
  for (LONG i = 0; i < work.Count; ++i) {
    while (!work.Done[i]) WaitForSingleObject(work.ItemDone, INFINITE);
    if (work.FirstFailed < work.Count) return 0;
    PlannedItem& item = work.Plan->Items[i];
    if (item.StagedFile && FlushFileBuffers(item.StagedFile)) item.Flushed = 1;
  }
  return 0;
}

uint64_t BytesWritten(const UpdatePlan& plan, int count) {
  uint64_t written = 0;
  for (int i = 0; i < count; ++i) written += static_cast<uint64_t>(plan.Items[i].Written);
  return written;
}

// Waits until every thread has ended, answering the dialog's messages and
// showing the progress meanwhile. Each ended thread's handle moves to the
// back of threads.
void WaitAnswering(HWND dialog, HANDLE* threads, int count, const UpdatePlan& plan,
                   int items, uint64_t total) {
  int running = count, quit = 0;
  WPARAM quitCode = 0;
  while (running > 0) {
    const DWORD woken = quit ? WaitForMultipleObjects(static_cast<DWORD>(running), threads, FALSE,
                                                      kProgressTickMs)
                             : MsgWaitForMultipleObjects(static_cast<DWORD>(running), threads,
                                                         FALSE, kProgressTickMs, QS_ALLINPUT);
    if (woken < WAIT_OBJECT_0 + static_cast<DWORD>(running)) {
      const int ended = static_cast<int>(woken - WAIT_OBJECT_0);
      HANDLE last = threads[running - 1];
      threads[running - 1] = threads[ended];
      threads[ended] = last;
      --running;
    } else if (woken == WAIT_FAILED) {
      // Nothing to answer with: the wait of old, without the messages.
      WaitForMultipleObjects(static_cast<DWORD>(running), threads, TRUE, INFINITE);
      running = 0;
    } else if (!quit) {
      AnswerDialogMessages(dialog, &quit, &quitCode);
    }
    ShowRunProgress(dialog, BytesWritten(plan, items), total);
  }
  // The modal loop, once the run is over, is where the quit belongs.
  if (quit) PostQuitMessage(static_cast<int>(quitCode));
}

int ProcessorCount() {
  SYSTEM_INFO info;
  GetSystemInfo(&info);
  const int count = static_cast<int>(info.dwNumberOfProcessors);
  return count < 1 ? 1 : count;
}

}  // namespace

int FillStagedFiles(UpdatePlan& plan, int count) {
  static FillWork work;
  work.Plan = &plan;
  work.Count = count;
  work.Next = 0;
  work.FirstFailed = count;
  int staged = 0;
  uint64_t total = 0;
  for (int i = 0; i < count; ++i) {
    work.Done[i] = 0;
    plan.Items[i].Written = 0;
    staged += HasStagedFile(plan.Items[i]);
    total += StagedSize(plan.Items[i]);
  }
  int threads = ProcessorCount();
  if (threads > staged) threads = staged;
  if (threads > kMaxFillThreads) threads = kMaxFillThreads;

  // The workers and the flusher are threads of their own: the dialog's
  // thread only waits for them, answering the player. A thread that cannot
  // be started only leaves the work to the others, and the flushing to the
  // commit; when no worker starts, this thread fills the files itself.
  HWND dialog = State.OwnerWindow;
  if (staged) BeginRunProgress(dialog);
  HANDLE helpers[MAXIMUM_WAIT_OBJECTS];
  int started = 0, workers = 0;
  work.ItemDone = staged ? CreateEventA(nullptr, FALSE, FALSE, nullptr) : nullptr;
  if (work.ItemDone) {
    HANDLE flusher = CreateThread(nullptr, 0, FlushItems, &work, 0, nullptr);
    if (flusher) helpers[started++] = flusher;
  }
  for (int i = 0; i < threads; ++i) {
    HANDLE thread = CreateThread(nullptr, 0, FillItems, &work, 0, nullptr);
    if (thread) {
      helpers[started++] = thread;
      ++workers;
    }
  }
  if (!workers) FillItems(&work);
  if (started) WaitAnswering(dialog, helpers, started, plan, count, total);
  for (int i = 0; i < started; ++i) CloseHandle(helpers[i]);
  if (work.ItemDone) CloseHandle(work.ItemDone);
  work.ItemDone = nullptr;
  if (staged) {
    ShowRunProgress(dialog, BytesWritten(plan, count), total);
    EndRunProgress(dialog);
  }
  return work.FirstFailed < count ? static_cast<int>(work.FirstFailed) : -1;
}
