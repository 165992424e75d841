// What a program that only writes pictures sets up before its QApplication.
#pragma once

#include <QTemporaryDir>

#include <memory>

namespace cyclara::plot {

// A picture needs no screen: without one named, Qt draws offscreen. Nor a session's runtime
// folder (a cron job, a login without one), for which Qt would warn on every run: a private
// one, gone with what is returned, which is kept until the application ends.
std::unique_ptr<QTemporaryDir> DrawWithoutAScreen();

}  // namespace cyclara::plot
