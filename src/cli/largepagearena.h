#pragma once
// Memory the tool allocates once and keeps, on Linux in large pages.
//
// Loading the directory of a large archive allocates some tens of megabytes (the entries, their
// names, the records and the name table as read), and a listing fills an output buffer of a
// megabyte. On a virtual machine most of the time a listing takes would go to the page faults that
// first touch that memory, one per 4 KiB page. While a LargePageArena lives, what its thread
// allocates with new comes from one region of the tool's own, which the kernel is asked to back
// with 2 MiB pages: a hundred thousand entries then cost a few faults instead of four thousand.
//
// The region is taken a step at a time as it fills (address space first, memory as it is
// touched). A block deleted is not reused on its own: the next arena starts over at the beginning
// only once every block handed out has been deleted (as when a tool that verifies one archive after
// another is done with each). So an arena is for what is loaded once and kept (a directory, a
// buffer), not for work that allocates and frees as it goes. Other threads, and every allocation
// outside an arena's life, use the ordinary heap. One thread at a time uses the region: an arena made while another is
// alive (on any thread) changes nothing.
//
// Where the tool is built with a sanitizer, or is not a Linux one, an arena changes nothing, so
// that every allocation stays under the sanitizer's checks.

namespace quillomar::cli {

class LargePageArena {
public:
    LargePageArena();
    ~LargePageArena();
    LargePageArena(const LargePageArena&) = delete;
    LargePageArena& operator=(const LargePageArena&) = delete;

    // Whether this thread allocates from the region while this arena lives.
    bool active() const { return active_; }

private:
    bool active_ = false;
};

}  // namespace quillomar::cli
