#include "generator/output_naming.h"

#include "console/number_text.h"

std::u16string OutputFileName(int attempt) {
  if (attempt == 0) return u"config.cpp";
  return u"config(" + IntegerText(attempt) + u").cpp";
}

CreatedOutput CreateOutputFile(std::u16string_view folder_prefix) {
  CreatedOutput output;
  for (int attempt = 0; attempt < kOutputNameAttempts; ++attempt) {
    std::u16string path = std::u16string(folder_prefix) + OutputFileName(attempt);
    output.file = OutputFile::CreateNew(path);
    if (output.file != nullptr) {
      output.path = std::move(path);
      break;
    }
  }
  return output;
}

OutputOutcome FinishOutputFile(CreatedOutput& output, bool writes_complete) {
  if (output.file == nullptr) return OutputOutcome::kNotCreated;
  const bool closed = output.file->Close();
  output.file.reset();
  if (writes_complete && closed) return OutputOutcome::kWritten;
  (void)RemoveFile(output.path);  // nothing more can be done when even this fails
  return OutputOutcome::kIncomplete;
}
