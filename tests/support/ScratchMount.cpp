#include "ScratchMount.h"

#include <sys/mount.h>

namespace kelvane::fixture {

ScratchMount::ScratchMount(const std::string& size) {
    const auto options = "size=" + size + ",mode=0755";
    mounted_ = ::mount("kelvane-test", tree_.root().c_str(), "tmpfs", 0, options.c_str()) == 0;
}

ScratchMount::~ScratchMount() {
    if (mounted_) {
        ::umount2(tree_.root().c_str(), MNT_DETACH);
    }
}

}  // namespace kelvane::fixture
