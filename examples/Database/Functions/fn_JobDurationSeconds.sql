-- The duration of a finished job in seconds; NULL while it runs.
CREATE OR ALTER FUNCTION dbo.fn_JobDurationSeconds (@jobId bigint) RETURNS int
AS
BEGIN
    RETURN (SELECT DATEDIFF(second, startedAt, finishedAt) FROM dbo.APP_JobHistory WHERE jobId = @jobId);
END
GO
