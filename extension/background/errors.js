/* A failure the user is told about: `reason` says which part failed
   ("address", "http", "host", "viewer", "transfer"), `message` is the text. */
export class PrintError extends Error {
  constructor(reason, message) {
    super(message);
    this.reason = reason;
  }
}

export function asPrintError(error) {
  if (error instanceof PrintError)
    return error;
  return new PrintError("transfer", `The spool file could not be printed: ${error?.message ?? error}`);
}
