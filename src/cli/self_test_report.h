#pragma once
// How the console tool shows self-tests and drive logs: the JSON objects and the text table.
#include <string>

#include "cli/json_writer.h"
#include "disk/self_test.h"
#include "health/self_test_texts.h"

namespace cli {

health::LogTransport LogTransportOf(const disk::SelfTestState& state);
// {"type", "statusCode", "status", "passed", "remainingPercent", "powerOnHours", "firstErrorLba"}
void WriteSelfTestEntry(JsonWriter& json, health::LogTransport transport, const disk::SelfTestEntry& entry);
// The whole `log N` document.
std::string LogDocument(int drive, const disk::SelfTestState& state, const disk::DriveLogs& logs);
// Both logs as text on stdout.
void PrintLogs(int drive, const disk::SelfTestState& state, const disk::DriveLogs& logs);

}  // namespace cli
