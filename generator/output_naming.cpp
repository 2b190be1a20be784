#include "generator/output_naming.h"

#include "console/number_text.h"

std::u16string OutputFileName(int attempt) {
  if (attempt == 0) return u"config.cpp";
  return u"config(" + IntegerText(attempt) + u").cpp";
}

CreatedOutput CreateOutputFile(std::u16string_view folder_prefix) {
  CreatedOutput output;
  output.file = OutputFile::CreateTemporary(std::u16string(folder_prefix), &output.temporary_path,
                                            &output.failure);
  if (output.file != nullptr) output.folder_prefix = folder_prefix;
  return output;
}

OutputOutcome FinishOutputFile(CreatedOutput& output, bool writes_complete) {
  if (output.file == nullptr) return OutputOutcome::kNotCreated;
  const bool closed = output.file->Close();
  output.failure = output.file->failure();
  output.file.reset();
  OutputOutcome outcome = OutputOutcome::kIncomplete;
  if (writes_complete && closed) {
    outcome = OutputOutcome::kNoFreeName;
    for (int attempt = 0; attempt < kOutputNameAttempts; ++attempt) {
      std::u16string path = output.folder_prefix + OutputFileName(attempt);
      // Any failure moves on to the next name, as a taken one does: what counts as "taken"
      // differs between systems (a folder of that name, say).
      std::u16string reason;
      if (PublishFile(output.temporary_path, path, &reason)) {
        output.path = std::move(path);
        output.failure.clear();
        return OutputOutcome::kWritten;
      }
      if (!reason.empty()) output.failure = std::move(reason);
    }
  }
  (void)RemoveFile(output.temporary_path);  // nothing more can be done when even this fails
  return outcome;
}
